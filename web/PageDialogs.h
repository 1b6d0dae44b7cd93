#pragma once

typedef struct _GtkWindow GtkWindow;
typedef struct _WebKitScriptDialog WebKitScriptDialog;
typedef struct _WebKitFileChooserRequest WebKitFileChooserRequest;

namespace orvela::PageDialogs {

// The page's alert, confirm and prompt as modal dialogs on the main window,
// answered when the user closes them.
void runScriptDialog(GtkWindow* parent, WebKitScriptDialog* dialog);

// The page's file input: the desktop's file chooser on the main window.
void runFileChooser(GtkWindow* parent, WebKitFileChooserRequest* request);

}  // namespace orvela::PageDialogs
