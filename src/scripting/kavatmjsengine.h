#ifndef KAVATMJSENGINE_H
#define KAVATMJSENGINE_H

#include "kavautomation_export.h"

#include <QtCore/QString>
#include <QtQml/QJSValue>

#include <memory>

class KAVAtmJsEnginePrivate;
class QJSEngine;
class QObject;

// The one JavaScript engine of a host process, shared by every script feature of the library,
// so that what one registers is seen by all. Failures come back as values (an error value, or
// a plain string), never as exceptions; objects handed to scripts stay owned by C++.
class KAVAUTOMATION_EXPORT KAVAtmJsEngine {
public:
    // Created on first use; destroyed when the application object goes.
    static KAVAtmJsEngine *GetInstance();
    ~KAVAtmJsEngine();

    QJSValue Evaluate(const QString &program);
    // Errors name the file given, and count lines from lineNumber.
    QJSValue Evaluate(const QString &program, const QString &fileName, int lineNumber);
    // With wrap, the file's text is evaluated as one parenthesised expression: a file holding a
    // function expression gives that function.
    // A larger file is refused, with its name.
    QJSValue ExecuteScriptFile(const QString &fileName, bool wrap);
    static constexpr qint64 MaximumScriptSize = 16 * 1024 * 1024;
    // The text a wrapped script file is evaluated as; its first line is the program's line 0.
    static QString WrapScript(const QString &text);
    // Imports an ECMAScript module and, unless that failed, publishes it as the global name.
    QJSValue ImportModule(const QString &fileName, const QString &name);
    QJSValue RegisterQObject(const QString &name, QObject *object);
    void SetGlobalProperty(const QString &name, const QJSValue &value);
    QJSValue GetGlobalProperty(const QString &name) const;
    QJSValue CreateJsObject(QObject *object);
    QJSValue CreateEmptyJsObject();
    QJSValue CreateJsArray(unsigned int length);

    // Makes a global that the library published read-only: a script can no longer replace or
    // redefine it.
    void LockGlobalProperty(const QString &name);

    // A script loop holds the GUI thread, where no timer can fire: past the deadline a watchdog
    // thread stops whatever script runs, and every script call fails until the deadline is
    // cleared or set again. One deadline at a time, the latest set: the token says whose it is,
    // and clearing with a token that is not the current one's leaves the current one alone.
    int SetDeadline(qint64 milliseconds);
    bool HasDeadline() const;
    void ClearDeadline(int token);
    // The watchdog stopped a script since the deadline was set.
    bool WasStopped() const;

    // Drops the pending delayed callback of the shared "timer".
    void StopTimer();

    // The engine itself, for raising script errors from native code (throwError).
    QJSEngine *GetEngine() const;

private:
    KAVAtmJsEngine();
    KAVAtmJsEngine(const KAVAtmJsEngine &) = delete;
    KAVAtmJsEngine &operator=(const KAVAtmJsEngine &) = delete;

    const std::unique_ptr<KAVAtmJsEnginePrivate> d;
};

#endif // KAVATMJSENGINE_H
