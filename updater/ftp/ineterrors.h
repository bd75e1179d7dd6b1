#pragma once

#include <QString>

namespace ftp {

// The codes of the internet library that the component's failures carry: every code it has a
// description for (12001 to 12171, with gaps). Any int converts, so a code outside the set can
// still be asked for its text.
enum InternetError : int {
    kInetOutOfHandles = 12001,
    kInetTimeout = 12002,
    kInetExtendedError = 12003,
    kInetInternalError = 12004,
    kInetInvalidUrl = 12005,
    kInetUnrecognizedScheme = 12006,
    kInetNameNotResolved = 12007,
    kInetProtocolNotFound = 12008,
    kInetInvalidOption = 12009,
    kInetBadOptionLength = 12010,
    kInetOptionNotSettable = 12011,
    kInetShutdown = 12012,
    kInetIncorrectUserName = 12013,
    kInetIncorrectPassword = 12014,
    kInetLoginFailure = 12015,
    kInetInvalidOperation = 12016,
    kInetOperationCancelled = 12017,
    kInetIncorrectHandleType = 12018,
    kInetIncorrectHandleState = 12019,
    kInetNotProxyRequest = 12020,
    kInetRegistryValueNotFound = 12021,
    kInetBadRegistryParameter = 12022,
    kInetNoDirectAccess = 12023,
    kInetNoContext = 12024,
    kInetNoCallback = 12025,
    kInetRequestPending = 12026,
    kInetIncorrectFormat = 12027,
    kInetItemNotFound = 12028,
    kInetCannotConnect = 12029,
    kInetConnectionAborted = 12030,
    kInetConnectionReset = 12031,
    kInetForceRetry = 12032,
    kInetInvalidProxyRequest = 12033,
    kInetNeedUi = 12034,
    kInetHandleExists = 12036,
    kInetSecurityCertificateDateInvalid = 12037,
    kInetSecurityCertificateNameInvalid = 12038,
    kInetRedirectFromPlainToSecure = 12039,
    kInetRedirectFromSecureToPlain = 12040,
    kInetMixedSecurity = 12041,
    kInetChangePostIsNotSecure = 12042,
    kInetPostIsNotSecure = 12043,
    kInetClientAuthenticationCertificateNeeded = 12044,
    kInetInvalidCertificateAuthority = 12045,
    kInetClientAuthenticationNotSetUp = 12046,
    kInetAsynchronousThreadFailed = 12047,
    kInetRedirectSchemeChange = 12048,
    kInetDialogPending = 12049,
    kInetRetryDialog = 12050,
    kInetSecureToPlainSubmitRedirect = 12052,
    kInetInsertDisc = 12053,
    kFtpTransferInProgress = 12110,
    kFtpDropped = 12111,
    kFtpNoPassiveMode = 12112,
    kHttpHeaderNotFound = 12150,
    kHttpDownlevelServer = 12151,
    kHttpInvalidServerResponse = 12152,
    kHttpInvalidHeader = 12153,
    kHttpInvalidQueryRequest = 12154,
    kHttpHeaderAlreadyExists = 12155,
    kHttpRedirectFailed = 12156,
    kInetSecurityChannelError = 12157,
    kInetUnableToCacheFile = 12158,
    kInetTcpIpNotInstalled = 12159,
    kHttpNotRedirected = 12160,
    kHttpCookieNeedsConfirmation = 12161,
    kHttpCookieDeclined = 12162,
    kInetDisconnected = 12163,
    kInetServerUnreachable = 12164,
    kInetProxyUnreachable = 12165,
    kInetBadAutomaticProxyScript = 12166,
    kInetUnableToDownloadProxyScript = 12167,
    kHttpRedirectNeedsConfirmation = 12168,
    kInetSecurityInvalidCertificate = 12169,
    kInetSecurityCertificateRevoked = 12170,
    kInetFailedDueToSecurityCheck = 12171,
};

// The component's own codes, outside the internet library's range.
enum ComponentError : int {
    kErrOutOfMemory = 200,
    kErrInvalidParameter = 87,
    kErrInvalidHost = 102,
    kErrWaitFailed = 120,
    kErrBusy = 143,
    kErrLocalFile = 144,
    kErrStillActive = 259,
    kErrInterrupted = 301,
    kErrCantOpenLocalFile = 302,
};

// The short description of an internet error code, or an empty text for a code not in the set.
QString internetErrorText(InternetError code);

// The internet error code for a libcurl result (0 for success). viaProxy tells whether the
// connection went through a proxy, so that a failed connect names the proxy.
int internetErrorFromCurl(int curlCode, bool viaProxy);

} // namespace ftp
