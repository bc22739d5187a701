// "orbiqa-cli site report" as a script runs it: a separate process with no display, the register
// in its working folder, the report read back with poppler's pdftotext.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/PrivateSettingsFolder.h"

namespace {

QString Cli() {
    const QByteArray dir = qgetenv("ORBIQA_BIN_DIR");
    return (dir.isEmpty() ? QCoreApplication::applicationDirPath() : QString::fromLocal8Bit(dir)) +
           QStringLiteral("/orbiqa-cli");
}

struct CliRun {
    int status;
    QString out, err;
};

CliRun RunCli(const QTemporaryDir& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display and no platform chosen: the report must still be written.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("ORBIQA_DB"));
    p.setProcessEnvironment(env);
    p.start(Cli(), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(SiteReportCli, WritesTheNewestVisitWithoutThePasswordAndRefusesWhatItCannotDo) {
    if (!QFile::exists(Cli())) GTEST_SKIP() << "orbiqa-cli is not built";
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    const orbiqa::testsupport::PrivateSettingsFolder settings;  // of this test only
    QFile set(dir.filePath(QStringLiteral("a.VR3")));
    ASSERT_TRUE(set.open(QIODevice::WriteOnly));
    set.write(QByteArray(1088, '\xFF'));
    set.close();

    ASSERT_EQ(RunCli(dir, {"site", "add", "Rába Hotel", "--customer", "Rába Kft."}).status, 0);
    ASSERT_EQ(RunCli(dir, {"set", "a.VR3", "APN=internet", "PWD=elso-jelszo"}).status, 0);
    ASSERT_EQ(RunCli(dir, {"site", "import", "Rába Hotel", "a.VR3"}).status, 0);
    ASSERT_EQ(RunCli(dir, {"set", "a.VR3", "APN=net.telekom.hu", "PWD=Titok-8812"}).status, 0);
    ASSERT_EQ(RunCli(dir, {"site", "import", "Rába Hotel", "a.VR3"}).status, 0);

    const CliRun report = RunCli(dir, {"site", "report", "Rába Hotel", "-o", "jelentés.pdf"});
    ASSERT_EQ(report.status, 0) << report.err.toStdString();
    QProcess text;
    text.start(pdftotext, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), dir.filePath(QStringLiteral("jelentés.pdf")),
                           QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString page = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    for (const char* expected : {"Rába Hotel", "Rába Kft.", "Kézi mentés", "internet", "net.telekom.hu", "megváltozott"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(expected))) << expected << " missing from: " << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("Titok-8812")));
    EXPECT_FALSE(page.contains(QStringLiteral("elso-jelszo")));

    // Usage errors: no output named, a site that does not exist, one without history, a bad entry.
    EXPECT_EQ(RunCli(dir, {"site", "report", "Rába Hotel"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"site", "report", "Nincs ilyen", "-o", "x.pdf"}).status, 2);
    ASSERT_EQ(RunCli(dir, {"site", "add", "Üres"}).status, 0);
    EXPECT_EQ(RunCli(dir, {"site", "report", "Üres", "-o", "x.pdf"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"site", "report", "Rába Hotel", "-o", "x.pdf", "--entry", "nem-azonosito"}).status, 2);
    EXPECT_EQ(RunCli(dir, {"site", "report", "Rába Hotel", "-o", "nincs/ilyen/mappa/x.pdf"}).status, 2);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.pdf"))));
}

}  // namespace
