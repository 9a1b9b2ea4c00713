// Why a serial device could not be opened, told in the user's terms: the informative text under the
// "Error opening com port" message, made from the errno and the path the serial component kept.
#pragma once
#include "UserAccess.h"

#include <QString>

namespace quellix {

enum class OpenFailureKind {
    GroupPermission, // the device's group grants access, the user is not in it
    NewLoginNeeded,  // the user was added to that group, but this session predates it
    NoPermission,    // access refused otherwise
    InUseBy,         // busy, and the holding programs were found
    InUse,           // busy, holder unknown
    NotFound,
    NotSerial,
    IoError,
    Other,
};

struct OpenDiagnosis {
    OpenFailureKind kind = OpenFailureKind::Other;
    QString text; // always names the path tried
};

// The diagnosis for the failure errno err of opening path, with the device's state read below
// rootPrefix (its owner and mode, the group database, the holders in /proc) for the given user.
OpenDiagnosis AnalyseOpenFailure(int err, const QString& path, const QString& rootPrefix,
                                 const UserIdentity& user);

// The informative text for the current user, e.g. "/dev/ttyUSB0: in use by another program:
// minicom (process 4242). Close it and try again."
QString DiagnoseOpenFailure(int err, const QString& path, const QString& rootPrefix = {});

} // namespace quellix
