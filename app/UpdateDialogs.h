#pragma once

#include "app/UpdateChecker.h"

#include <gtk/gtk.h>

namespace orvela::UpdateDialogs {

// Offers a newer release's download page; for a check the user asked for, also
// says that there is nothing newer, or that the feed could not be read.
void present(GtkWindow* parent, const UpdateChecker::Result& result, bool asked, const std::string& currentVersion);

}  // namespace orvela::UpdateDialogs
