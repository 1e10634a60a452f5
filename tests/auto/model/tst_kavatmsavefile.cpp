// The one writer every result, baseline, report and procedure file goes through.

#include "kavatmsavefile.h"
#include "testfiles.h"
#include "unprivileged.h"

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <sys/stat.h>

using KAVAtmSaveFile::Outcome;

Q_DECLARE_METATYPE(KAVAtmSaveFile::Outcome)

class tst_KAVAtmSaveFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void targets_data();
    void targets();
    void shortWriteKeepsPreviousFile_data();
    void shortWriteKeepsPreviousFile();
    void readOnlyFolder_data();
    void readOnlyFolder();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_KAVAtmSaveFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    openToAll(m_dir->path());
}

void tst_KAVAtmSaveFile::targets_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("new file") << "new" << Outcome::Saved;
    QTest::newRow("existing file") << "file" << Outcome::Saved;
    QTest::newRow("folder missing") << "missing" << Outcome::OpenFailed;
    QTest::newRow("a folder") << "folder" << Outcome::OpenFailed;
    // Replacing a pipe would block or lose what reads it; it is refused at once.
    QTest::newRow("a pipe") << "fifo" << Outcome::OpenFailed;
    // A link is replaced, its target left as it was, a dangling one too.
    QTest::newRow("a link to a file") << "link" << Outcome::Saved;
    QTest::newRow("a dangling link") << "dangling" << Outcome::Saved;
}

void tst_KAVAtmSaveFile::targets()
{
    QFETCH(QString, kind);
    QFETCH(Outcome, outcome);
    QString path = m_dir->filePath("target");
    if (kind == "file") {
        QVERIFY(KAVAtmSaveFile::Write(path, "old") == Outcome::Saved);
    } else if (kind == "missing") {
        path = m_dir->filePath("no/such/folder/target");
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "fifo") {
        QCOMPARE(mkfifo(qPrintable(path), 0600), 0);
    }
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("target");
    if (kind == "link" || kind == "dangling") {
        if (kind == "link")
            QVERIFY(KAVAtmSaveFile::Write(target, "theirs") == Outcome::Saved);
        QVERIFY(QFile::link(target, path));
    }
    QString error;
    QCOMPARE(KAVAtmSaveFile::Write(path, "new content", &error), outcome);
    if (outcome == Outcome::Saved) {
        QCOMPARE(readFile(path), QByteArray("new content"));
        QVERIFY(error.isEmpty());
    } else {
        QVERIFY(!error.isEmpty());
        QCOMPARE(QFileInfo(path).isDir(), kind == "folder");
    }
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::System).size(),
             kind == "missing" || kind == "folder" ? 0 : 1);
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(QFile::exists(target), kind == "link");
    if (kind == "link")
        QCOMPARE(readFile(target), QByteArray("theirs"));
}

void tst_KAVAtmSaveFile::shortWriteKeepsPreviousFile_data()
{
    QTest::addColumn<int>("size");
    // Fails in the write itself, and in the flush of what was buffered.
    QTest::newRow("large") << 256 * 1024;
    QTest::newRow("buffered") << 4000;
}

void tst_KAVAtmSaveFile::shortWriteKeepsPreviousFile()
{
    QFETCH(int, size);
    const QString path = m_dir->filePath("report.json");
    QVERIFY(KAVAtmSaveFile::Write(path, "previous") == Outcome::Saved);
    QString error;
    QCOMPARE(withFileSizeLimit(
                 1024, [&] { return KAVAtmSaveFile::Write(path, QByteArray(size, 'x'), &error); }),
             Outcome::WriteFailed);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readFile(path), QByteArray("previous"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 1);
}

void tst_KAVAtmSaveFile::readOnlyFolder_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("saved");
    QTest::newRow("written in place") << 100 << true;
    // In place there is no temporary file to drop: the old content is put back.
    QTest::newRow("short write restores") << 256 * 1024 << false;
    QTest::newRow("buffered short write restores") << 4000 << false;
}

void tst_KAVAtmSaveFile::readOnlyFolder()
{
    QFETCH(int, size);
    QFETCH(bool, saved);
    const QString folder = m_dir->filePath("locked");
    const QString path = folder + "/procedure.json";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(KAVAtmSaveFile::Write(path, "previous") == Outcome::Saved);
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
                              | QFileDevice::WriteOther);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                              | QFileDevice::ExeOther);
    const QByteArray content(size, 'y');
    QVERIFY(runUnprivileged([&] {
        QString error;
        const Outcome outcome
            = withFileSizeLimit(1024, [&] { return KAVAtmSaveFile::Write(path, content, &error); });
        return outcome == (saved ? Outcome::Saved : Outcome::WriteFailed)
            && readFile(path) == (saved ? content : QByteArray("previous"));
    }));
    openToAll(folder);
}

QTEST_GUILESS_MAIN(tst_KAVAtmSaveFile)
#include "tst_kavatmsavefile.moc"
