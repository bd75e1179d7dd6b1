#pragma once

#include <QString>

namespace ftp {

// Codes of the internet library that the component's failures carry (12001 to 12171), and the
// component's own codes.
enum InternetError {
    kErrOutOfMemory = 200,
    kErrInvalidParameter = 87,
    kErrInvalidHost = 102,
    kErrWaitFailed = 120,
    kErrBusy = 143,
    kErrLocalFile = 144,
    kErrStillActive = 259,
    kErrInterrupted = 301,
    kErrCantOpenLocalFile = 302,

    kInetTimeout = 12002,
    kInetExtendedError = 12003,
    kInetInternalError = 12004,
    kInetInvalidUrl = 12005,
    kInetUnrecognizedScheme = 12006,
    kInetNameNotResolved = 12007,
    kInetOperationCancelled = 12017,
    kInetLoginFailure = 12015,
    kInetCannotConnect = 12029,
    kInetConnectionAborted = 12030,
    kInetConnectionReset = 12031,
    kInetSecurityChannelError = 12157,
    kFtpDropped = 12111,
    kFtpNoPassiveMode = 12112,
    kInetProxyUnreachable = 12165,
};

// The short description of an internet error code, or an empty text for a code not in the table.
QString internetErrorText(int code);

// The internet error code for a libcurl result (0 for success). viaProxy tells whether the
// connection went through a proxy, so that a failed connect names the proxy.
int internetErrorFromCurl(int curlCode, bool viaProxy);

} // namespace ftp
