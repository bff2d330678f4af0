// How the editor tells the user that the tag library could not write the
// file: the text of the failed step, the file and the reason.
#pragma once

#include <QString>

#include <cstdint>

namespace tageditor {

class TagControl;

// Why the last call on the control failed for the file: the system's reason
// when the file is gone or has become a folder (the tag library would only
// see a file of no format), else the tag library's own text ("" when it has
// none).
QString FailureReason(const TagControl& tags, const QString& path);

// Shows the message: the text of the string `what`, then the file and, when
// there is one, the reason.
void TellFailure(int32_t what, const QString& path, const QString& reason);

}  // namespace tageditor
