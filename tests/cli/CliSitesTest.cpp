// orbiqa-cli's site commands and --site recording, run as a script runs them: against
// orbiqa-modsim, with the site register's file in the working folder of a copy that is not
// installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "modsim/SimHarness.h"
#include "params/FieldCatalog.h"
#include "params/ParameterImage.h"
#include "support/PrivateSettingsFolder.h"
#include "transfer/ParameterFile.h"

namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliSitesTest : public ::testing::Test {
protected:
    orbiqa::testsupport::PrivateSettingsFolder config;  // the simulator's port link
    QTemporaryDir work;    // the working folder, where the register's file lands
    std::unique_ptr<modsimtest::SimProcess> sim;

    void SetUp() override {
        for (const char* program : {"orbiqa-cli", "orbiqa-modsim"})
            if (!QFile::exists(QString::fromStdString(modsimtest::BinaryDir() + "/" + program)))
                GTEST_SKIP() << program << " not built";
    }

    CliRun Cli(const QStringList& args, const QStringList& environment = {}) {
        QProcess p;
        p.setWorkingDirectory(work.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ORBIQA_DB"));
        for (const QString& e : environment) env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
        p.setProcessEnvironment(env);
        p.start(QString::fromStdString(modsimtest::BinaryDir() + "/orbiqa-cli"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
    }

    QString StartModule(const std::string& memory, std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--fast", "--texts", "off", "--memory", memory});
        sim = std::make_unique<modsimtest::SimProcess>(options, config.PortLinkFolder());
        return QString::fromStdString(sim->ComName());
    }

    QString Path(const QString& name) const { return work.filePath(name); }

    static QJsonDocument Json(const std::string& text) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
        return doc;
    }

    void SaveSet(const QString& path, std::initializer_list<std::pair<const char*, const char*>> values) {
        orbiqa::ParameterImage image;
        image.Fill(0);
        for (const auto& [field, value] : values) orbiqa::SetFieldValue(image, field, value);
        orbiqa::SaveParameterFile(path.toStdString(), std::span<const std::uint8_t, 1088>(image.data(), 1088));
    }
};

TEST_F(CliSitesTest, SitesAreAddedEditedListedAndShown) {
    // Looking makes no register file (a completion runs "site list" in any folder).
    EXPECT_EQ(Cli({"site", "list", "--json"}).out, "[]\n");
    EXPECT_EQ(Cli({"site", "show", "x"}).status, 2);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("OrbiqaSites.sqlite"))));
    CliRun r = Cli({"site", "add", "Raktár", "--customer", "Kovács Kft.", "--address", "Győr, Fő u. 1",
                 "--contact", "+36 30 111 2222"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("OrbiqaSites.sqlite"))));
    EXPECT_EQ(Cli({"site", "add", "Raktár"}).status, 2);
    ASSERT_EQ(Cli({"site", "edit", "Raktár", "--name", "Raktár 2", "--notes", "kulcs a portán"}).status, 0);

    r = Cli({"site", "list", "KOVÁCS", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonArray list = Json(r.out).array();
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].toObject()[QStringLiteral("name")].toString(), QStringLiteral("Raktár 2"));

    r = Cli({"site", "show", "Raktár 2", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json(r.out).object()[QStringLiteral("notes")].toString(), QStringLiteral("kulcs a portán"));

    // Bad input: a clear message and status 2, the register untouched.
    r = Cli({"site", "edit", "Raktár 2", "--notes", QString(100000, QLatin1Char('x'))});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("65536"));
    EXPECT_EQ(Cli({"site", "show", "Nincs ilyen"}).status, 2);
    EXPECT_EQ(Cli({"site", "list", "--customer", "x"}).status, 2);
    EXPECT_EQ(Cli({"site", "teleport"}).status, 2);
    EXPECT_EQ(Cli({"site", "erase", "Raktár 2"}).status, 2);  // not without --yes
    ASSERT_EQ(Cli({"site", "erase", "Raktár 2", "--yes"}).status, 0);
    EXPECT_EQ(Cli({"site", "list"}).out, "");
}

TEST_F(CliSitesTest, TransfersAreRecordedWithTheChangedSettings) {
    const QString memory = Path(QStringLiteral("module.VR3"));
    SaveSet(memory, {{"APN", "internet"}, {"PWD", "titok1"}, {"PanelID", "4711"}});
    const QString original = Path(QStringLiteral("original.VR3"));
    QFile::copy(memory, original);  // the simulator keeps its memory file up to date
    const QString port = StartModule(memory.toStdString());
    ASSERT_EQ(Cli({"site", "add", "Bolt"}).status, 0);

    CliRun r = Cli({"read", Path(QStringLiteral("read.VR3")), "-p", port, "--site", "Bolt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "read: 15 blocks from " + port.toStdString() + " saved to " +
                         Path(QStringLiteral("read.VR3")).toStdString() + "\n");
    EXPECT_THAT(r.err, IsEmpty());

    const QString changed = Path(QStringLiteral("changed.VR3"));
    SaveSet(changed, {{"APN", "net.corp"}, {"PWD", "titok2"}, {"PanelID", "4711"}});
    r = Cli({"write", changed, "-p", port, "--site", "Bolt"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Cli({"compare", original, "-p", port, "--site", "Bolt"});
    EXPECT_EQ(r.status, 1);  // the module now differs from the old file: still a recorded compare

    r = Cli({"site", "history", "Bolt", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("titok")));  // the password's value nowhere
    const QJsonArray history = Json(r.out).array();
    ASSERT_EQ(history.size(), 3);
    const QJsonObject compare = history[0].toObject(), write = history[1].toObject(), read = history[2].toObject();
    EXPECT_EQ(read[QStringLiteral("kind")].toString(), QStringLiteral("read"));
    EXPECT_EQ(read[QStringLiteral("port")].toString(), port);
    EXPECT_EQ(write[QStringLiteral("outcome")].toString(), QStringLiteral("ok"));
    EXPECT_EQ(compare[QStringLiteral("outcome")].toString(), QStringLiteral("ok"));
    QStringList fields;
    for (const auto& c : write[QStringLiteral("changes")].toArray()) {
        const QJsonObject o = c.toObject();
        fields << o[QStringLiteral("field")].toString();
        if (o[QStringLiteral("field")].toString() == QLatin1String("PWD")) {
            EXPECT_TRUE(o[QStringLiteral("changed")].toBool());
            EXPECT_FALSE(o.contains(QStringLiteral("old")));
        }
        if (o[QStringLiteral("field")].toString() == QLatin1String("APN")) {
            EXPECT_EQ(o[QStringLiteral("old")].toString(), QStringLiteral("internet"));
            EXPECT_EQ(o[QStringLiteral("new")].toString(), QStringLiteral("net.corp"));
        }
    }
    EXPECT_TRUE(fields.contains(QStringLiteral("APN")) && fields.contains(QStringLiteral("PWD"))) << fields.join(',').toStdString();

    r = Cli({"site", "history", "Bolt"});
    EXPECT_THAT(r.out, HasSubstr("APN: internet -> net.corp"));
    EXPECT_THAT(r.out, HasSubstr("PWD: changed"));
    r = Cli({"site", "show", "Bolt", "--json"});
    EXPECT_EQ(Json(r.out).object()[QStringLiteral("panelId")].toInt(), 4711);
    EXPECT_EQ(Json(r.out).object()[QStringLiteral("lastPort")].toString(), port);

    // The stored set goes back out as a file equal to what was written.
    ASSERT_EQ(Cli({"site", "export", "Bolt", Path(QStringLiteral("back.VR3"))}).status, 0);
    QFile a(changed), b(Path(QStringLiteral("back.VR3")));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST_F(CliSitesTest, AFailedTransferIsRecordedAndKeepsItsStatus) {
    const QString memory = Path(QStringLiteral("module.VR3"));
    SaveSet(memory, {});
    const QString port = StartModule(memory.toStdString(), {"--silent-from-block", "4"});
    ASSERT_EQ(Cli({"site", "add", "Csendes"}).status, 0);
    const CliRun r = Cli({"read", Path(QStringLiteral("x.VR3")), "-p", port, "--site", "Csendes"});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(r.err, HasSubstr("did not answer for block 4"));
    const QJsonArray history = Json(Cli({"site", "history", "Csendes", "--json"}).out).array();
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(history[0].toObject()[QStringLiteral("outcome")].toString(), QStringLiteral("failed"));
    EXPECT_THAT(history[0].toObject()[QStringLiteral("outcomeText")].toString().toStdString(), HasSubstr("block 4"));
    EXPECT_EQ(Cli({"read", Path(QStringLiteral("x.VR3")), "-p", port, "--site", "Nincs"}).status, 2);
    // A command line refused before the port is opened is not a visit to the site.
    EXPECT_EQ(Cli({"write", Path(QStringLiteral("missing.VR3")), "-p", port, "--site", "Csendes"}).status, 2);
    EXPECT_EQ(Json(Cli({"site", "history", "Csendes", "--json"}).out).array().size(), 1);
}

TEST_F(CliSitesTest, AnUnreachableSharedDatabaseLeavesTheRecordPendingAndTheTransferWhole) {
    const QString memory = Path(QStringLiteral("module.VR3"));
    SaveSet(memory, {});
    const QString port = StartModule(memory.toStdString());
    ASSERT_EQ(Cli({"site", "add", "Terep"}).status, 0);  // before any shared database
    const QString db = QStringLiteral("ORBIQA_DB=postgresql:///sites?host=") + work.filePath(QStringLiteral("nosuch"));
    CliRun r = Cli({"read", Path(QStringLiteral("r.VR3")), "-p", port, "--site", "Terep"}, {db});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("unreachable"));
    EXPECT_THAT(r.err, HasSubstr("pending"));
    r = Cli({"site", "history", "Terep", "--json"}, {db});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Json(r.out).array().size(), 1);
    EXPECT_EQ(Cli({"site", "add", "Új"}, {db}).status, 3);  // edits wait for the office's database
    EXPECT_EQ(Cli({"site", "list", "--db", "postgresql://u:secret@h/d"}).status, 2);
}

TEST_F(CliSitesTest, ADamagedRegisterFileIsSaidAndTheTransferStillWorks) {
    const QString memory = Path(QStringLiteral("module.VR3"));
    SaveSet(memory, {});
    const QString port = StartModule(memory.toStdString());
    QFile damaged(Path(QStringLiteral("OrbiqaSites.sqlite")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    const CliRun r = Cli({"read", Path(QStringLiteral("r.VR3")), "-p", port, "--site", "Bárhol"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("r.VR3"))));
    EXPECT_THAT(r.err, HasSubstr("nem adatbázis"));
    EXPECT_THAT(r.err, HasSubstr("failed"));
    EXPECT_EQ(Cli({"site", "list"}).status, 3);
}

TEST_F(CliSitesTest, ProvisionRecordsEachModuleToTheSiteOfItsLine) {
    const QString memory = Path(QStringLiteral("module.VR3"));
    SaveSet(memory, {});
    const QString port = StartModule(memory.toStdString());
    const QString templ = Path(QStringLiteral("template.VR3"));
    SaveSet(templ, {{"APN", "tmpl"}});
    QFile csv(Path(QStringLiteral("modules.csv")));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write(QStringLiteral("port,Site,USER1\n%1,Iskola,06301234567\n").arg(port).toUtf8());
    csv.close();
    ASSERT_EQ(Cli({"site", "add", "Iskola"}).status, 0);
    const CliRun r = Cli({"provision", templ, "--each", csv.fileName(), "--report", Path(QStringLiteral("rep.csv"))});
    ASSERT_EQ(r.status, 0) << r.err;
    QFile report(Path(QStringLiteral("rep.csv")));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readAll().startsWith("port,device,site,USER1,"));
    const QJsonArray history = Json(Cli({"site", "history", "Iskola", "--json"}).out).array();
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(history[0].toObject()[QStringLiteral("kind")].toString(), QStringLiteral("provision"));
    EXPECT_EQ(Cli({"provision", templ, "-p", port, "-p", "COM77", "--site", "Iskola"}).status, 2);
}

}  // namespace
