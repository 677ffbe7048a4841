#pragma once

// Runs one of the ezdxf check scripts under tests/data/export and hands its JSON report back,
// so that every test reading our DXF through that independent reader treats a missing Python or
// ezdxf, a failing script and the audit's findings alike.
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace ezdxfcheck {

struct Run
{
    QJsonObject report;
    QString skipped; // why the reader could not run at all: the test is skipped, not failed
    QString failed; // the script ran and gave up
};

inline Run run(const QString &script, const QStringList &arguments)
{
    Run result;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        QStringList { linovex::test::dataPath(QStringLiteral("export/") + script) } + arguments);
    if (!python.waitForStarted(10000)) {
        result.skipped = QStringLiteral("/usr/bin/python3 is not available");
        return result;
    }
    if (!python.waitForFinished(120000)) {
        result.failed = QStringLiteral("the check did not finish within two minutes");
        return result;
    }
    if (python.exitCode() == 77)
        result.skipped = QStringLiteral("ezdxf cannot be imported");
    else if (python.exitCode() != 0)
        result.failed = QString::fromUtf8(python.readAllStandardError());
    else
        result.report = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    return result;
}

// The audit of a file we wrote must neither find errors nor have to repair anything.
inline void expectCleanAudit(const QJsonObject &report)
{
    for (const char *finding : { "errors", "fixes" }) {
        const QJsonArray list = report[QLatin1String(finding)].toArray();
        EXPECT_EQ(list.size(), 0) << finding << ": " << QJsonDocument(list).toJson().toStdString();
    }
}

} // namespace ezdxfcheck

// Runs the check or leaves the test: skipped without a reader, failed when the script fails.
#define EZDXF_RUN(name, script, ...)                                                               \
    const ezdxfcheck::Run name = ezdxfcheck::run(QStringLiteral(script), { __VA_ARGS__ });         \
    if (!name.skipped.isEmpty())                                                                   \
        GTEST_SKIP() << name.skipped.toStdString();                                                \
    ASSERT_TRUE(name.failed.isEmpty()) << name.failed.toStdString()
