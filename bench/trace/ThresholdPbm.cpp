#include "ThresholdPbm.h"

#include "trace/GreyPicture.h"
#include "trace/Threshold.h"

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

QByteArray thresholdedPbm(const QImage &grey, const Dib &dib)
{
    GreyHistogram h;
    const GreyResult g = makeGreyPicture(dib.rec(), {}, {});
    greyHistogram(g.picture.grey, h, {});
    const int t = otsuThreshold(h);
    QByteArray data = QByteArrayLiteral("P4\n") + QByteArray::number(grey.width()) + ' '
        + QByteArray::number(grey.height()) + '\n';
    const int rowBytes = (grey.width() + 7) / 8;
    for (int y = 0; y < grey.height(); ++y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < grey.width(); ++x) {
            if (grey.constScanLine(y)[x] < t)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        }
        data += row;
    }
    return data;
}

bool runPotrace(const std::vector<QByteArray> &arguments)
{
    std::vector<QByteArray> copies = arguments;
    std::vector<char *> argv;
    for (QByteArray &a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    return posix_spawnp(&pid, "potrace", nullptr, nullptr, argv.data(), environ) == 0
        && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
