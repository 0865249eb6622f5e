// Downloading one document over HTTP/1.0 into a local file.
#pragma once

#include "runtime/values/string_value.h"

namespace quillon {

// GETs path from host:port (truncated to 0..65535; 443 speaks TLS and verifies the server) and
// stores the body, headers skipped, in outputFile. 1 when the server closed the connection
// normally (any status) and the whole body is in place, else 0: then outputFile is left as it
// was. Whole means: at least a stated Content-Length arrived, every byte was written, and over TLS
// the server sent its close notification (unless the stated length all arrived). Control bytes
// in host or path give 0 without connecting; 30 s without data end the transfer with 0, also
// mid-record over TLS. A transfer killed on the way leaves "NAME.part<pid>-<n>", removed by the
// next download to NAME.
// Example:
//   if (HttpGetFile("example.org", "/news.txt", 443, "news.txt") != 0) {
//     StringValue headline;
//     OpenFile(0, "news.txt", 1);
//     ReadLine(0, headline);
//     CloseFile(0);
//   }
double HttpGetFile(const StringValue& host, const StringValue& path, double port,
                   const StringValue& outputFile);

}  // namespace quillon
