#pragma once

typedef struct _WebKitDownload WebKitDownload;

namespace orvela::DownloadHandler {

// Takes charge of a download: it goes straight into the Downloads folder under a
// free name, and the folder is shown in the file manager when it has finished.
void handle(WebKitDownload* download);

}  // namespace orvela::DownloadHandler
