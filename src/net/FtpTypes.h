#pragma once

#include <QFlags>
#include <QString>
#include <stdexcept>

// The enumerations of the FTP component (TCustomFtpCli, TFtpClient), in the
// order their numeric values are known by.

enum TFtpState {
    ftpNotConnected,
    ftpReady,
    ftpInternalReady,
    ftpDnsLookup,
    ftpConnected,
    ftpAbort,
    ftpInternalAbort, // declared for completeness; the component never enters it
    ftpWaitingBanner,
    ftpWaitingResponse
};

// What a request was; OnRequestDone reports it.
enum TFtpRequest {
    ftpNone,
    ftpOpenAsync,
    ftpUserAsync,
    ftpPassAsync,
    ftpCwdAsync,
    ftpConnectAsync,
    ftpReceiveAsync,
    ftpDirAsync,
    ftpLsAsync,
    ftpPortAsync,
    ftpGetAsync,
    ftpDirectoryAsync,
    ftpListAsync,
    ftpSystemAsync,
    ftpSystAsync,
    ftpQuitAsync,
    ftpAbortXferAsync,
    ftpSizeAsync,
    ftpPutAsync,
    ftpAppendAsync,
    ftpFileSizeAsync,
    ftpRqAbort,
    ftpMkdAsync,
    ftpRmdAsync,
    ftpRenameAsync,
    ftpDeleAsync,
    ftpRenAsync,
    ftpRenToAsync,
    ftpRenFromAsync,
    ftpDeleteAsync,
    ftpMkdirAsync,
    ftpRmdirAsync,
    ftpPwdAsync,
    ftpQuoteAsync,
    ftpCDupAsync,
    ftpDoQuoteAsync,
    ftpTransmitAsync,
    ftpTypeSetAsync,
    ftpRestAsync,
    ftpRestGetAsync,
    ftpRestartGetAsync,
    ftpRestPutAsync,
    ftpRestartPutAsync,
    ftpQuoteEachAsync
};

// The steps a request is made of (a request runs one or several in order).
enum TFtpFct {
    ftpFctNone,
    ftpFctOpen,
    ftpFctUser,
    ftpFctPass,
    ftpFctCwd,
    ftpFctSize,
    ftpFctMkd,
    ftpFctRmd,
    ftpFctRenFrom,
    ftpFctRenTo,
    ftpFctGet,
    ftpFctDir,
    ftpFctQuit,
    ftpFctSyst,
    ftpFctDele,
    ftpFctPwd,
    ftpFctQuote,
    ftpFctPut,
    ftpFctTypeSet,
    ftpFctRest,
    ftpFctCDup,
    ftpFctLs,
    ftpFctAppend,
    ftpFctPort,
    ftpFctAbortXfer,
    ftpFctQuoteEach
};

enum TFtpOption {
    ftpAcceptLF = 0x1, // a bare LF ends a reply line (CR LF otherwise)
    ftpNoAutoResumeAt = 0x2, // kept for the option set; no request of this component resumes by itself
};
Q_DECLARE_FLAGS(TFtpOptions, TFtpOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFtpOptions)

// How the local file of a transfer is shared with other programs. Linux has
// no mandatory sharing modes: the exclusive ones take an advisory lock that
// every other transfer of this program respects; the others take none.
enum TFtpShareMode {
    ftpShareCompat,
    ftpShareExclusive,
    ftpShareDenyWrite,
    ftpShareDenyRead,
    ftpShareDenyNone
};

// How received data reaches OnDisplayFile when DisplayFileFlag is set.
enum TFtpDisplayFileMode { ftpLineByLine, ftpBinary };

// How the control connection reaches the server (values 0 to 4, as stored in
// the settings).
enum TFtpConnectionType { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };

// A usage error of the FTP component ("FTP component not ready", ...).
class FtpException : public std::runtime_error
{
public:
    explicit FtpException(const QString& message)
        : std::runtime_error(message.toStdString())
        , message_(message)
    {
    }

    QString message() const { return message_; }

private:
    QString message_;
};
