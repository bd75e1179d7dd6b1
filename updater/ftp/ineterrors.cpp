#include "ineterrors.h"

#include <curl/curl.h>

namespace ftp {

// No default: a code added to InternetError without a text here fails the build (-Werror=switch).
QString internetErrorText(InternetError code) {
    switch (code) {
    case kInetOutOfHandles:
        return QStringLiteral("Internet Out Of Handles.");
    case kInetTimeout:
        return QStringLiteral("Internet Timeout.");
    case kInetExtendedError:
        return QStringLiteral("Internet Extended Error.");
    case kInetInternalError:
        return QStringLiteral("Internet Internal Error.");
    case kInetInvalidUrl:
        return QStringLiteral("Internet Invalid URL.");
    case kInetUnrecognizedScheme:
        return QStringLiteral("Internet Unrecognized Scheme.");
    case kInetNameNotResolved:
        return QStringLiteral("Internet Name Not Resolved.");
    case kInetProtocolNotFound:
        return QStringLiteral("Internet Protocol Not Found.");
    case kInetInvalidOption:
        return QStringLiteral("Internet Invalid Option.");
    case kInetBadOptionLength:
        return QStringLiteral("Internet Bad Option Length.");
    case kInetOptionNotSettable:
        return QStringLiteral("Internet Option Not Settable.");
    case kInetShutdown:
        return QStringLiteral("Internet Shutdown.");
    case kInetIncorrectUserName:
        return QStringLiteral("Internet Incorrect User Name.");
    case kInetIncorrectPassword:
        return QStringLiteral("Internet Incorrect Password.");
    case kInetLoginFailure:
        return QStringLiteral("Internet Login Failure.");
    case kInetInvalidOperation:
        return QStringLiteral("Internet Invalid Operation.");
    case kInetOperationCancelled:
        return QStringLiteral("Internet Operation Cancelled.");
    case kInetIncorrectHandleType:
        return QStringLiteral("Internet Incorrect Handle Type.");
    case kInetIncorrectHandleState:
        return QStringLiteral("Internet Incorrect Handle State.");
    case kInetNotProxyRequest:
        return QStringLiteral("Internet Not Proxy Request.");
    case kInetRegistryValueNotFound:
        return QStringLiteral("Internet Registry Value Not Found.");
    case kInetBadRegistryParameter:
        return QStringLiteral("Internet Bad Registry Parameter.");
    case kInetNoDirectAccess:
        return QStringLiteral("Internet No Direct Access.");
    case kInetNoContext:
        return QStringLiteral("Internet No Context.");
    case kInetNoCallback:
        return QStringLiteral("Internet No Callback.");
    case kInetRequestPending:
        return QStringLiteral("Internet Request Pending.");
    case kInetIncorrectFormat:
        return QStringLiteral("Internet Incorrect Format.");
    case kInetItemNotFound:
        return QStringLiteral("Internet Item Not Found.");
    case kInetCannotConnect:
        return QStringLiteral("Internet Cannot Connect.");
    case kInetConnectionAborted:
        return QStringLiteral("Internet Connection Aborted.");
    case kInetConnectionReset:
        return QStringLiteral("Internet Connection Reset.");
    case kInetForceRetry:
        return QStringLiteral("Internet Force Retry.");
    case kInetInvalidProxyRequest:
        return QStringLiteral("Internet Invalid Proxy Request.");
    case kInetNeedUi:
        return QStringLiteral("Internet Need UI.");
    case kInetHandleExists:
        return QStringLiteral("Internet Handle Exists.");
    case kInetSecurityCertificateDateInvalid:
        return QStringLiteral("Internet Security Certificate Date Invalid.");
    case kInetSecurityCertificateNameInvalid:
        return QStringLiteral("Internet Security Certificate Name Invalid.");
    case kInetRedirectFromPlainToSecure:
        return QStringLiteral("Internet Redirect From Plain To Secure.");
    case kInetRedirectFromSecureToPlain:
        return QStringLiteral("Internet Redirect From Secure To Plain.");
    case kInetMixedSecurity:
        return QStringLiteral("Internet Mixed Security.");
    case kInetChangePostIsNotSecure:
        return QStringLiteral("Internet Change Post Is Not Secure.");
    case kInetPostIsNotSecure:
        return QStringLiteral("Internet Post Is Not Secure.");
    case kInetClientAuthenticationCertificateNeeded:
        return QStringLiteral("Internet Client Authentication Certificate Needed.");
    case kInetInvalidCertificateAuthority:
        return QStringLiteral("Internet Invalid Certificate Authority.");
    case kInetClientAuthenticationNotSetUp:
        return QStringLiteral("Internet Client Authentication Not Set Up.");
    case kInetAsynchronousThreadFailed:
        return QStringLiteral("Internet Asynchronous Thread Failed.");
    case kInetRedirectSchemeChange:
        return QStringLiteral("Internet Redirect Scheme Change.");
    case kInetDialogPending:
        return QStringLiteral("Internet Dialog Pending.");
    case kInetRetryDialog:
        return QStringLiteral("Internet Retry Dialog.");
    case kInetSecureToPlainSubmitRedirect:
        return QStringLiteral("Internet Secure To Plain Submit Redirect.");
    case kInetInsertDisc:
        return QStringLiteral("Internet Insert Disc.");
    case kFtpTransferInProgress:
        return QStringLiteral("FTP transfer in progress.");
    case kFtpDropped:
        return QStringLiteral("FTP connection dropped.");
    case kFtpNoPassiveMode:
        return QStringLiteral("The FTP server does not support the passive mode.");
    case kHttpHeaderNotFound:
        return QStringLiteral("HTTP Header Not Found.");
    case kHttpDownlevelServer:
        return QStringLiteral("HTTP Downlevel Server.");
    case kHttpInvalidServerResponse:
        return QStringLiteral("HTTP Invalid Server Response.");
    case kHttpInvalidHeader:
        return QStringLiteral("HTTP Invalid Header.");
    case kHttpInvalidQueryRequest:
        return QStringLiteral("HTTP Invalid Query Request.");
    case kHttpHeaderAlreadyExists:
        return QStringLiteral("HTTP Header Already Exists.");
    case kHttpRedirectFailed:
        return QStringLiteral("HTTP Redirect Failed.");
    case kInetSecurityChannelError:
        return QStringLiteral("Internet Security Channel Error.");
    case kInetUnableToCacheFile:
        return QStringLiteral("Internet Unable To Cache File.");
    case kInetTcpIpNotInstalled:
        return QStringLiteral("Internet TCP/IP Not Installed.");
    case kHttpNotRedirected:
        return QStringLiteral("HTTP Not Redirected.");
    case kHttpCookieNeedsConfirmation:
        return QStringLiteral("HTTP Cookie Needs Confirmation.");
    case kHttpCookieDeclined:
        return QStringLiteral("HTTP Cookie Declined.");
    case kInetDisconnected:
        return QStringLiteral("Internet Disconnected.");
    case kInetServerUnreachable:
        return QStringLiteral("Internet Server Unreachable.");
    case kInetProxyUnreachable:
        return QStringLiteral("Internet Proxy Server Unreachable.");
    case kInetBadAutomaticProxyScript:
        return QStringLiteral("Internet Bad Automatic Proxy Script.");
    case kInetUnableToDownloadProxyScript:
        return QStringLiteral("Internet Unable To Download Proxy Script.");
    case kHttpRedirectNeedsConfirmation:
        return QStringLiteral("HTTP Redirect Needs Confirmation.");
    case kInetSecurityInvalidCertificate:
        return QStringLiteral("Internet Security Invalid Certificate.");
    case kInetSecurityCertificateRevoked:
        return QStringLiteral("Internet Security Certificate Revoked.");
    case kInetFailedDueToSecurityCheck:
        return QStringLiteral("Internet Failed Due To Security Check.");
    }
    return QString();
}

// libcurl results onto the internet error codes.
//
// - A failure that the server answered with a reply (login refused, missing directory or file,
//   a refused PORT/PASV/TYPE/quote command, an odd reply) becomes 12003, the extended error: its
//   description is the server's reply, as the internet library gives it. A refused login is
//   12015 instead, the code that names it; its description is the reply all the same.
// - Name resolution is 12007 (12165 when the name is the proxy's); a refused or failed connect
//   is 12029, or 12165 when the connection goes through a proxy.
// - Timeouts (libcurl's own response, accept and operation timeouts) are 12002.
// - A transfer that broke off midway (partial file) is 12111, the dropped FTP connection; a
//   send error is 12030 and a receive error 12031.
// - A transfer stopped by us is 12017; an unusable URL is 12005, a scheme libcurl lacks 12006.
// - TLS failures are 12157; libcurl out of memory is the component's own 200.
// - Everything else that libcurl may report for FTP is 12004, the internal error.
int internetErrorFromCurl(int curlCode, bool viaProxy) {
    switch (CURLcode(curlCode)) {
    case CURLE_OK:
        return 0;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return kInetUnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
        return kInetInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
        return kInetProxyUnreachable;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_FTP_CANT_GET_HOST:
        return kInetNameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_INTERFACE_FAILED:
        return viaProxy ? kInetProxyUnreachable : kInetCannotConnect;
    case CURLE_PROXY:
        return kInetProxyUnreachable;
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR:
        return kInetLoginFailure;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FTP_WEIRD_PASS_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_QUOTE_ERROR:
    case CURLE_UPLOAD_FAILED:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_COULDNT_USE_REST:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_REMOTE_FILE_EXISTS:
    case CURLE_FTP_PRET_FAILED:
    case CURLE_RANGE_ERROR:
    case CURLE_BAD_DOWNLOAD_RESUME:
        return kInetExtendedError;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_FTP_ACCEPT_TIMEOUT:
        return kInetTimeout;
    case CURLE_FTP_ACCEPT_FAILED:
        return kInetCannotConnect;
    case CURLE_PARTIAL_FILE:
        return kFtpDropped;
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return kInetConnectionAborted;
    case CURLE_RECV_ERROR:
        return kInetConnectionReset;
    case CURLE_ABORTED_BY_CALLBACK:
        return kInetOperationCancelled;
    case CURLE_OUT_OF_MEMORY:
        return kErrOutOfMemory;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
        return kInetSecurityChannelError;
    default:
        return kInetInternalError;
    }
}

} // namespace ftp
