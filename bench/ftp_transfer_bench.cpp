// One download or upload through TFtpClient, timed from the connection to
// the end of the transfer (as curl's time_total, which leaves out QUIT), for
// bench/ftp_vs_curl.sh to set beside curl.
//
//   ftp_transfer_bench get|put PORT USER PASSWORD REMOTE LOCAL
//
// Prints the seconds taken on stdout; exits 1 with the reason on stderr
// when the transfer fails.

#include "net/TFtpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 7
        || (arguments[1] != QLatin1String("get") && arguments[1] != QLatin1String("put"))) {
        std::fprintf(stderr, "usage: ftp_transfer_bench get|put PORT USER PASSWORD REMOTE LOCAL\n");
        return 2;
    }
    const bool download = arguments[1] == QLatin1String("get");
    TFtpClient client;
    client.SetTimeout(120);
    client.SetShareMode(ftpShareCompat);
    client.SetHostName(QStringLiteral("127.0.0.1"));
    client.SetPort(arguments[2]);
    client.SetUserName(arguments[3].toUtf8());
    client.SetPassWord(arguments[4].toUtf8());
    client.SetPassive(true);
    client.SetHostFileName(arguments[5].toUtf8());
    client.SetLocalFileName(arguments[6]);

    QElapsedTimer timer;
    timer.start();
    const bool done = client.Open() && client.User() && client.Pass() && client.TypeSet()
        && (download ? client.Get() : client.Put());
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (done)
        client.Quit();
    if (!done) {
        std::fprintf(stderr, "ftp_transfer_bench: %s\n", qPrintable(client.ErrorMessage()));
        return 1;
    }
    std::printf("%.3f\n", seconds);
    return 0;
}
