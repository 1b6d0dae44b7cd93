// orvela: the desktop application. One instance per session: a second launch
// hands its links, or just the wish to see the window, to the running one.
#include "app/AppDelegate.h"
#include "app/LaunchOptions.h"
#include "platform/GObjectPtr.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    orvela::LaunchOptions launch;
    // Smoke, snapshot and test-host runs are tools of their own and never reach a
    // running instance.
    auto flags = G_APPLICATION_HANDLES_OPEN;
    if (launch.underTests() || launch.smokeTest() || launch.snapshot())
        flags = GApplicationFlags(flags | G_APPLICATION_NON_UNIQUE);
    orvela::GObjectPtr<GtkApplication> application(gtk_application_new("ru.orvela.Orvela", flags));
    auto delegate = orvela::AppDelegate::create(application.get());

    // The "-key value" pairs belong to the defaults; the application sees the rest.
    std::vector<std::string> arguments = orvela::DefaultsStore::otherArguments({argv + 1, argv + argc});
    std::vector<char*> applicationArguments{argv[0]};
    for (auto& argument : arguments) applicationArguments.push_back(argument.data());
    applicationArguments.push_back(nullptr);
    g_application_run(G_APPLICATION(application.get()), static_cast<int>(applicationArguments.size() - 1),
                      applicationArguments.data());
    return 0;
}
