#include "sites/DatabaseSettings.h"

#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include "base/FileStore.h"

namespace orbiqa::sites {

namespace {

constexpr std::size_t kMaxSettingsFileBytes = 64 * 1024;

const QStringList& SslModes() {
    static const QStringList modes{"disable", "allow", "prefer", "require", "verify-ca", "verify-full"};
    return modes;
}

QString PasswordHint() {
    return QStringLiteral(
        "A jelszó nem állhat a címben: tegye a ~/.pgpass (PGPASSFILE) fájlba vagy egy "
        "szolgáltatásfájlba (pg_service.conf), Windowson az ODBC adatforrásba.");
}

// An ODBC attribute value, braced when it holds a character that would end or open one.
QString OdbcValue(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
        !value.contains(QLatin1Char('}')) && value.trimmed() == value)
        return value;
    QString braced = value;
    braced.replace(QLatin1String("}"), QLatin1String("}}"));
    return QLatin1Char('{') + braced + QLatin1Char('}');
}

// A QPSQL option value: the driver passes the options to libpq's connection string, where a
// value with spaces or quotes must be single-quoted and backslash-escaped.
QString PsqlValue(const QString& value) {
    if (!value.isEmpty() && !value.contains(QLatin1Char(' ')) && !value.contains(QLatin1Char('\'')) &&
        !value.contains(QLatin1Char('\\')) && !value.contains(QLatin1Char(';')))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\")).replace(QLatin1String("'"), QLatin1String("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace

std::variant<PostgresTarget, QString> ParseDatabaseUrl(const QString& url) {
    const QString text = url.trimmed();
    if (!text.startsWith(QLatin1String("postgresql://")) && !text.startsWith(QLatin1String("postgres://")))
        return QStringLiteral("Az adatbázis címe postgresql://gép[:port]/adatbázis alakú legyen: %1").arg(text);
    const QUrl parsed(text, QUrl::StrictMode);
    if (!parsed.isValid())
        return QStringLiteral("Hibás adatbázis-cím: %1").arg(parsed.errorString());
    // "user:@host" has an empty password, which QUrl does not report: look at the text itself.
    const QString authority = text.section(QLatin1String("://"), 1).section(QLatin1Char('/'), 0, 0).section(QLatin1Char('?'), 0, 0);
    if (!parsed.password().isEmpty() ||
        (authority.contains(QLatin1Char('@')) && authority.section(QLatin1Char('@'), 0, -2).contains(QLatin1Char(':'))))
        return PasswordHint();

    PostgresTarget t;
    t.host = parsed.host();
    if (parsed.port() != -1) t.port = parsed.port();
    t.user = parsed.userName();
    t.database = parsed.path().mid(1);
    if (t.database.contains(QLatin1Char('/')))
        return QStringLiteral("Az adatbázis neve nem tartalmazhat „/” jelet: %1").arg(t.database);

    const QUrlQuery query(parsed);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("sslmode")) {
            if (!SslModes().contains(value))
                return QStringLiteral("Ismeretlen sslmode: %1 (%2)").arg(value, SslModes().join(QLatin1String(", ")));
            t.sslmode = value;
        } else if (key == QLatin1String("host")) {
            t.host = value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            t.port = value.toInt(&ok);
            if (!ok || t.port < 1 || t.port > 65535) return QStringLiteral("Hibás port: %1").arg(value);
        } else if (key == QLatin1String("user")) {
            t.user = value;
        } else if (key == QLatin1String("dbname")) {
            t.database = value;
        } else if (key == QLatin1String("service")) {
            t.service = value;
        } else if (key == QLatin1String("password")) {
            return PasswordHint();
        } else {
            return QStringLiteral("Ismeretlen beállítás az adatbázis címében: %1").arg(key);
        }
    }
    if (t.database.isEmpty() && t.service.isEmpty())
        return QStringLiteral("Az adatbázis címéből hiányzik az adatbázis neve: %1").arg(text);
    return t;
}

QString DescribeTarget(const PostgresTarget& t) {
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    QUrlQuery query;
    if (t.host.startsWith(QLatin1Char('/')))
        query.addQueryItem(QStringLiteral("host"), t.host);
    else
        url.setHost(t.host);
    if (!t.host.startsWith(QLatin1Char('/')) && !t.host.isEmpty() && t.port != 5432) url.setPort(t.port);
    else if (t.port != 5432) query.addQueryItem(QStringLiteral("port"), QString::number(t.port));
    url.setUserName(t.user);
    url.setPath(QLatin1Char('/') + t.database);
    if (!t.service.isEmpty()) query.addQueryItem(QStringLiteral("service"), t.service);
    if (t.sslmode != QLatin1String("prefer")) query.addQueryItem(QStringLiteral("sslmode"), t.sslmode);
    url.setQuery(query);
    QString text = url.toString(QUrl::FullyEncoded);
    // QUrl leaves out an empty authority ("postgresql:/db"); the form people know keeps it.
    if (url.host().isEmpty() && url.userName().isEmpty())
        text.replace(0, int(qstrlen("postgresql:")), QStringLiteral("postgresql://"));
    return text;
}

QString PsqlConnectOptions(const PostgresTarget& t) {
    QStringList options{QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds),
                        QStringLiteral("sslmode=") + t.sslmode,
                        QStringLiteral("application_name=orbiqa")};
    if (!t.service.isEmpty()) options << QStringLiteral("service=") + PsqlValue(t.service);
    return options.join(QLatin1Char(';'));
}

QString OdbcConnectionString(const PostgresTarget& t, const QString& driver) {
    QString s;
    if (!t.service.isEmpty()) {
        // A data source the office set up (ODBC Data Sources) holds the server, its TLS mode and
        // the password; the URL only names it, and what else it names wins over the source's.
        s = QStringLiteral("DSN=%1;").arg(OdbcValue(t.service));
        if (!t.database.isEmpty()) s += QStringLiteral("Database=%1;").arg(OdbcValue(t.database));
        if (!t.user.isEmpty()) s += QStringLiteral("Uid=%1;").arg(OdbcValue(t.user));
        if (t.sslmode != PostgresTarget().sslmode) s += QStringLiteral("SSLmode=%1;").arg(t.sslmode);
        return s;
    }
    QString name = driver;
    name.replace(QLatin1String("}"), QLatin1String("}}"));
    s = QStringLiteral("Driver={%1};").arg(name);
    if (!t.host.isEmpty()) s += QStringLiteral("Server=%1;").arg(OdbcValue(t.host));
    s += QStringLiteral("Port=%1;").arg(t.port);
    if (!t.database.isEmpty()) s += QStringLiteral("Database=%1;").arg(OdbcValue(t.database));
    if (!t.user.isEmpty()) s += QStringLiteral("Uid=%1;").arg(OdbcValue(t.user));
    s += QStringLiteral("SSLmode=%1;").arg(t.sslmode);
    s += QStringLiteral("ConnSettings={SET application_name='orbiqa'};");
    return s;
}

QString ChoosePostgresOdbcDriver(const QStringList& installed) {
    const QString plain = QStringLiteral("PostgreSQL Unicode");
    for (const QString& preferred : {QStringLiteral("PostgreSQL Unicode(x64)"), plain})
        for (const QString& name : installed)
            if (name.compare(preferred, Qt::CaseInsensitive) == 0) return name;
    for (const QString& name : installed)
        if (name.startsWith(plain, Qt::CaseInsensitive)) return name;
    return plain;
}

QString ChooseDatabaseUrl(const std::optional<QString>& commandLine, const QString& environment,
                          const QString& settingsFile) {
    if (commandLine && !commandLine->trimmed().isEmpty()) return commandLine->trimmed();
    if (!environment.trimmed().isEmpty()) return environment.trimmed();
    return settingsFile.trimmed();
}

QString DatabaseSettingFromFile(const QString& settingsFilePath) {
    std::string data;
    try {
        data = ReadFileBounded(settingsFilePath.toStdString(), kMaxSettingsFileBytes, false);
    } catch (const std::exception&) {
        return {};
    }
    const QString key = QString::fromLatin1(kDatabaseSettingKey) + QLatin1Char('=');
    for (const QString& line : QString::fromUtf8(data).split(QLatin1Char('\n'))) {
        const QString l = line.trimmed();
        if (l.startsWith(key)) return l.mid(key.size()).trimmed();
    }
    return {};
}

std::optional<QString> SaveDatabaseSetting(const QString& settingsFilePath, const QString& url) {
    if (!url.trimmed().isEmpty()) {
        const auto parsed = ParseDatabaseUrl(url);
        if (const auto* why = std::get_if<QString>(&parsed)) return *why;
    }
    std::string data;
    try {
        data = ReadFileBounded(settingsFilePath.toStdString(), kMaxSettingsFileBytes, false);
    } catch (const std::exception&) {
        data.clear();  // a missing file starts empty
    }
    const QString key = QString::fromLatin1(kDatabaseSettingKey) + QLatin1Char('=');
    QStringList kept;
    for (const QString& line : QString::fromUtf8(data).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.trimmed().startsWith(key)) kept << line;
    if (!url.trimmed().isEmpty()) kept << key + url.trimmed();
    try {
        SaveFile(settingsFilePath.toStdString(), (kept.join(QLatin1Char('\n')) + QLatin1Char('\n')).toStdString());
    } catch (const std::exception& e) {
        return QStringLiteral("A beállítás nem menthető (%1): %2").arg(settingsFilePath, QString::fromLocal8Bit(e.what()));
    }
    return std::nullopt;
}

}  // namespace orbiqa::sites
