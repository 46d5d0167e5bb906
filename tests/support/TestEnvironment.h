#pragma once
// Points the application folder and the session log at a fresh temporary folder for
// the lifetime of the object, so no test touches the real home or program folder.

#include <QString>
#include <QTemporaryDir>

namespace testing {

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    QString appFolder() const; // ends in "/"
    QString logPath() const;
    QString path(const QString& name) const; // a file in the application folder
    // Writes bytes to a file in the application folder.
    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;

private:
    QTemporaryDir dir_;
};

} // namespace testing
