#include "ineterrors.h"

#include <curl/curl.h>

namespace ftp {

QString internetErrorText(int code) {
    switch (code) {
    case 12001:
        return QStringLiteral("Internet Out Of Handles.");
    case 12002:
        return QStringLiteral("Internet Timeout.");
    case 12003:
        return QStringLiteral("Internet Extended Error.");
    case 12004:
        return QStringLiteral("Internet Internal Error.");
    case 12005:
        return QStringLiteral("Internet Invalid URL.");
    case 12006:
        return QStringLiteral("Internet Unrecognized Scheme.");
    case 12007:
        return QStringLiteral("Internet Name Not Resolved.");
    case 12008:
        return QStringLiteral("Internet Protocol Not Found.");
    case 12009:
        return QStringLiteral("Internet Invalid Option.");
    case 12010:
        return QStringLiteral("Internet Bad Option Length.");
    case 12011:
        return QStringLiteral("Internet Option Not Settable.");
    case 12012:
        return QStringLiteral("Internet Shutdown.");
    case 12013:
        return QStringLiteral("Internet Incorrect User Name.");
    case 12014:
        return QStringLiteral("Internet Incorrect Password.");
    case 12015:
        return QStringLiteral("Internet Login Failure.");
    case 12016:
        return QStringLiteral("Internet Invalid Operation.");
    case 12017:
        return QStringLiteral("Internet Operation Cancelled.");
    case 12018:
        return QStringLiteral("Internet Incorrect Handle Type.");
    case 12019:
        return QStringLiteral("Internet Incorrect Handle State.");
    case 12020:
        return QStringLiteral("Internet Not Proxy Request.");
    case 12021:
        return QStringLiteral("Internet Registry Value Not Found.");
    case 12022:
        return QStringLiteral("Internet Bad Registry Parameter.");
    case 12023:
        return QStringLiteral("Internet No Direct Access.");
    case 12024:
        return QStringLiteral("Internet No Context.");
    case 12025:
        return QStringLiteral("Internet No Callback.");
    case 12026:
        return QStringLiteral("Internet Request Pending.");
    case 12027:
        return QStringLiteral("Internet Incorrect Format.");
    case 12028:
        return QStringLiteral("Internet Item Not Found.");
    case 12029:
        return QStringLiteral("Internet Cannot Connect.");
    case 12030:
        return QStringLiteral("Internet Connection Aborted.");
    case 12031:
        return QStringLiteral("Internet Connection Reset.");
    case 12032:
        return QStringLiteral("Internet Force Retry.");
    case 12033:
        return QStringLiteral("Internet Invalid Proxy Request.");
    case 12034:
        return QStringLiteral("Internet Need UI.");
    case 12036:
        return QStringLiteral("Internet Handle Exists.");
    case 12037:
        return QStringLiteral("Internet Security Certificate Date Invalid.");
    case 12038:
        return QStringLiteral("Internet Security Certificate Name Invalid.");
    case 12039:
        return QStringLiteral("Internet Redirect From Plain To Secure.");
    case 12040:
        return QStringLiteral("Internet Redirect From Secure To Plain.");
    case 12041:
        return QStringLiteral("Internet Mixed Security.");
    case 12042:
        return QStringLiteral("Internet Change Post Is Not Secure.");
    case 12043:
        return QStringLiteral("Internet Post Is Not Secure.");
    case 12044:
        return QStringLiteral("Internet Client Authentication Certificate Needed.");
    case 12045:
        return QStringLiteral("Internet Invalid Certificate Authority.");
    case 12046:
        return QStringLiteral("Internet Client Authentication Not Set Up.");
    case 12047:
        return QStringLiteral("Internet Asynchronous Thread Failed.");
    case 12048:
        return QStringLiteral("Internet Redirect Scheme Change.");
    case 12049:
        return QStringLiteral("Internet Dialog Pending.");
    case 12050:
        return QStringLiteral("Internet Retry Dialog.");
    case 12052:
        return QStringLiteral("Internet Secure To Plain Submit Redirect.");
    case 12053:
        return QStringLiteral("Internet Insert Disc.");
    case 12110:
        return QStringLiteral("FTP transfer in progress.");
    case 12111:
        return QStringLiteral("FTP connection dropped.");
    case 12112:
        return QStringLiteral("The FTP server does not support the passive mode.");
    case 12150:
        return QStringLiteral("HTTP Header Not Found.");
    case 12151:
        return QStringLiteral("HTTP Downlevel Server.");
    case 12152:
        return QStringLiteral("HTTP Invalid Server Response.");
    case 12153:
        return QStringLiteral("HTTP Invalid Header.");
    case 12154:
        return QStringLiteral("HTTP Invalid Query Request.");
    case 12155:
        return QStringLiteral("HTTP Header Already Exists.");
    case 12156:
        return QStringLiteral("HTTP Redirect Failed.");
    case 12157:
        return QStringLiteral("Internet Security Channel Error.");
    case 12158:
        return QStringLiteral("Internet Unable To Cache File.");
    case 12159:
        return QStringLiteral("Internet TCP/IP Not Installed.");
    case 12160:
        return QStringLiteral("HTTP Not Redirected.");
    case 12161:
        return QStringLiteral("HTTP Cookie Needs Confirmation.");
    case 12162:
        return QStringLiteral("HTTP Cookie Declined.");
    case 12163:
        return QStringLiteral("Internet Disconnected.");
    case 12164:
        return QStringLiteral("Internet Server Unreachable.");
    case 12165:
        return QStringLiteral("Internet Proxy Server Unreachable.");
    case 12166:
        return QStringLiteral("Internet Bad Automatic Proxy Script.");
    case 12167:
        return QStringLiteral("Internet Unable To Download Proxy Script.");
    case 12168:
        return QStringLiteral("HTTP Redirect Needs Confirmation.");
    case 12169:
        return QStringLiteral("Internet Security Invalid Certificate.");
    case 12170:
        return QStringLiteral("Internet Security Certificate Revoked.");
    case 12171:
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
