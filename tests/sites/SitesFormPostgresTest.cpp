// The sites window against an office's shared PostgreSQL server that the test starts itself:
// what a technician's role refuses, and a server gone while the window is open.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "support/PostgresServer.h"
#include "support/RecordingAnnouncer.h"
#include "sites/SiteRegister.h"
#include "sites/SiteRegisterThread.h"
#include "sites/SitesForm.h"

namespace orbiqa::sites {
namespace {

using orbiqa::test::PostgresServer;

bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class SitesFormPostgresTest : public ::testing::Test {
protected:
    static inline std::unique_ptr<PostgresServer> server;
    static inline QString skipReason;

    static void SetUpTestSuite() {
        skipReason = PostgresServer::Unavailable();
        if (!skipReason.isEmpty()) return;
        try {
            server = std::make_unique<PostgresServer>();
        } catch (const std::exception& e) {
            skipReason = QString::fromLocal8Bit(e.what());
            return;
        }
        server->Exec(QStringLiteral("CREATE DATABASE office"));
        PostgresTarget owner = Target(QString::fromLatin1(PostgresServer::kSuperuser));
        InitializePostgres(owner);
        server->Exec(QStringLiteral("CREATE ROLE tech1 LOGIN IN ROLE orbiqa_technician"));
    }
    static void TearDownTestSuite() { server.reset(); }

    static PostgresTarget Target(const QString& user) {
        PostgresTarget t;
        t.host = server->SocketFolder();
        t.port = server->Port();
        t.database = QStringLiteral("office");
        t.user = user;
        return t;
    }

    void SetUp() override {
        if (!skipReason.isEmpty()) GTEST_SKIP() << skipReason.toStdString();
        if (!server->Running()) server->Start();
        const QString local = dir.filePath(QStringLiteral("OrbiqaSites.sqlite"));
        worker = std::make_unique<SiteRegisterThread>([local] {
            RegisterOptions options;
            options.localPath = local;
            options.shared = Target(QStringLiteral("tech1"));
            return std::make_unique<SiteRegister>(options);
        });
        form = std::make_unique<TSitesForm>(*worker, TSitesForm::Hooks{});
        form->show();
        ASSERT_TRUE(WaitFor([&] { return !form->Busy(); }));
    }

    template <class T>
    T* Child(const char* name) {
        return form->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    test::RecordingAnnouncer announcer;
    std::unique_ptr<SiteRegisterThread> worker;
    std::unique_ptr<TSitesForm> form;
};

TEST_F(SitesFormPostgresTest, ATechnicianAddsASiteButItsEditIsRefusedAndTheFieldsTurnReadOnly) {
    Child<QPushButton>("btNewSite")->click();
    Child<QLineEdit>("edName")->setText(QStringLiteral("Mátra Vendégház"));
    Child<QPushButton>("btSaveSite")->click();
    ASSERT_TRUE(WaitFor([&] { return !form->Busy() && form->CurrentSite().has_value(); }));
    EXPECT_EQ(form->StatusText(), QStringLiteral("A telephely adatai mentve: Mátra Vendégház"));

    Child<QLineEdit>("edCustomer")->setText(QStringLiteral("Új ügyfél"));
    Child<QPushButton>("btSaveSite")->click();
    ASSERT_TRUE(WaitFor([&] { return !form->Busy(); }));
    EXPECT_TRUE(form->StatusText().startsWith(QStringLiteral("Nincs joga a telephely adatainak módosításához")))
        << form->StatusText().toStdString();
    EXPECT_TRUE(announcer.said.contains(form->StatusText()));
    EXPECT_TRUE(Child<QLineEdit>("edCustomer")->isReadOnly());
}

TEST_F(SitesFormPostgresTest, AServerGoneLeavesTheLocalCopyToSearchAndSaysSo) {
    server->Kill();
    form->Search(QStringLiteral("valami"));
    ASSERT_TRUE(WaitFor([&] { return !form->Busy(); }));
    EXPECT_TRUE(form->StatusText().startsWith(QStringLiteral("A központi adatbázis nem érhető el")))
        << form->StatusText().toStdString();
    EXPECT_EQ(Child<QTreeWidget>("tvSites")->topLevelItemCount(), 0);
    server->Start();
}

}  // namespace
}  // namespace orbiqa::sites
