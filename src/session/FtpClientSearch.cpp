// Searching the connected server: the family's "SITE SRCH" command, whose
// matches the server offers as the virtual folder "/<ZeltaSearchResults>".

#include "session/FtpClient.h"

#include "net/TFtpClient.h"
#include "session/SessionView.h"

namespace
{

const std::string searchResultsFolder = "/<ZeltaSearchResults>";

QString notCompliant()
{
    return QStringLiteral(
        "The connected server is NOT Zelta compliant. This feature only works with sites running "
        "Zelta P2P/Ranquil servers");
}

} // namespace

void ftpClient::searchServer()
{
    const commandScope scope(*this);
    // The main window's menu reaches here while a transfer holds the
    // connection; the connection is not the session's to use then.
    if (lentTo_)
        return;
    view_->setModal(true);
    const std::optional<searchRequest> request = view_->askSearchKeyword();
    view_->setModal(false);
    if (!request || request->keyword.isEmpty() || closing_)
        return;
    setSessionState(sessionState::Searching);
    runServerSearch(request->keyword.toStdString(), request->mode);
    setSessionState(sessionState::IndeterminateStable);
}

bool ftpClient::setSearchMode(int mode)
{
    const commandScope scope(*this);
    if (mode == serverSearchMode_)
        return true;
    if (!quote("SITE SRCHMODE " + std::to_string(mode)))
        return false;
    serverSearchMode_ = mode;
    return true;
}

void ftpClient::runServerSearch(const std::string& keyword, int mode)
{
    const commandScope scope(*this);
    if (keyword.empty())
        return;
    setSearchMode(mode);
    bool accepted = quote("SITE SRCH " + keyword);
    if (!accepted && !closing_)
        accepted = quote("SRCH " + keyword);
    if (accepted && !closing_) {
        relist_ = true;
        listFolder(searchResultsFolder, true, true, false, true);
        relist_ = false;
    } else if (!closing_) {
        showServerError(notCompliant());
    }
    finishCommand();
}

bool ftpClient::quote(const std::string& command)
{
    // The component refuses a line with CR, LF or NUL before sending it.
    ftp_->SetQuoteCommand(QByteArray(command.data(), static_cast<qsizetype>(command.size())));
    const bool accepted = ftp_->Quote();
    ftp_->SetQuoteCommand({});
    return accepted;
}
