#include "platform/MainQueue.h"

#include <cmath>
#include <glib.h>

namespace orvela::MainQueue {
namespace {

gboolean runOnce(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

void destroyTask(gpointer data) { delete static_cast<std::function<void()>*>(data); }

}  // namespace

void async(std::function<void()> task) {
    g_idle_add_full(G_PRIORITY_DEFAULT, runOnce, new std::function<void()>(std::move(task)),
                    destroyTask);
}

void after(double seconds, std::function<void()> task) {
    double milliseconds = std::ceil(std::fmax(seconds, 0.0) * 1000.0);
    g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(milliseconds), runOnce,
                       new std::function<void()>(std::move(task)), destroyTask);
}

}  // namespace orvela::MainQueue
