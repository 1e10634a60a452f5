#include "kavatmjsengine.h"
#include "kavatmlogging_p.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtQml/QQmlEngine>

#include <exception>

namespace {
KAVAtmJsEngine *s_instance = nullptr;
} // namespace

class KAVAtmJsEnginePrivate {
public:
    QQmlEngine *engine = nullptr;
    QTimer timer;
};

KAVAtmJsEngine::KAVAtmJsEngine() : d(new KAVAtmJsEnginePrivate)
{
    // No parent: the engine goes in a post routine, after everything holding script values.
    d->engine = new QQmlEngine;
    d->timer.setSingleShot(true);
    QJSEngine::setObjectOwnership(&d->timer, QJSEngine::CppOwnership);
    d->engine->globalObject().setProperty(QStringLiteral("timer"),
                                          d->engine->newQObject(&d->timer));
    d->engine->installExtensions(QJSEngine::ConsoleExtension);
    // Lets the modules skip building debug lines nobody reads.
    d->engine->globalObject().setProperty(QStringLiteral("kavDebug"),
                                          lcScripting().isDebugEnabled());
}

KAVAtmJsEngine::~KAVAtmJsEngine()
{
    delete d->engine;
    if (s_instance == this)
        s_instance = nullptr;
}

KAVAtmJsEngine *KAVAtmJsEngine::GetInstance()
{
    static const bool created = [] {
        s_instance = new KAVAtmJsEngine;
        // Post routines run last registered first: whatever registers later (the case manager,
        // holding script values) goes before the engine.
        qAddPostRoutine([] { delete s_instance; });
        return true;
    }();
    Q_UNUSED(created);
    return s_instance;
}

QJSEngine *KAVAtmJsEngine::GetEngine() const
{
    return d->engine;
}

QJSValue KAVAtmJsEngine::Evaluate(const QString &program)
{
    // A native exception must not unwind through the script engine's frames.
    try {
        return d->engine->evaluate(program, QString(), 1);
    } catch (const std::exception &exception) {
        return QJSValue(QString::fromLocal8Bit(exception.what()));
    } catch (...) {
        return QJSValue(QStringLiteral("Unknown exception happens!"));
    }
}

QJSValue KAVAtmJsEngine::ExecuteScriptFile(const QString &fileName, bool wrap)
{
    if (!QFileInfo::exists(fileName)) {
        return QJSValue(
            QStringLiteral("The specified script file cannot be found: %1").arg(fileName));
    }
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return QJSValue(QStringLiteral("Failed to open the script file: %1").arg(fileName));
    QString text = QString::fromUtf8(file.readAll());
    if (wrap)
        text = QStringLiteral("(\n%1\n)").arg(text);
    return Evaluate(text);
}

QJSValue KAVAtmJsEngine::ImportModule(const QString &fileName, const QString &name)
{
    QJSValue module;
    try {
        module = d->engine->importModule(fileName);
    } catch (...) {
        module = d->engine->newErrorObject(QJSValue::GenericError,
                                           QStringLiteral("Unknown exception happens!"));
    }
    if (module.isError())
        return module;
    SetGlobalProperty(name, module);
    return module;
}

QJSValue KAVAtmJsEngine::RegisterQObject(const QString &name, QObject *object)
{
    const QJSValue value = object ? CreateJsObject(object) : QJSValue(QJSValue::UndefinedValue);
    d->engine->globalObject().setProperty(name, value);
    return value;
}

void KAVAtmJsEngine::SetGlobalProperty(const QString &name, const QJSValue &value)
{
    qCDebug(lcScripting).noquote() << "Registering module:" << name;
    d->engine->globalObject().setProperty(name, value);
}

QJSValue KAVAtmJsEngine::GetGlobalProperty(const QString &name) const
{
    return d->engine->globalObject().property(name);
}

QJSValue KAVAtmJsEngine::CreateJsObject(QObject *object)
{
    if (!object)
        return QJSValue(QJSValue::NullValue);
    QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    return d->engine->newQObject(object);
}

QJSValue KAVAtmJsEngine::CreateEmptyJsObject()
{
    return d->engine->newObject();
}

QJSValue KAVAtmJsEngine::CreateJsArray(unsigned int length)
{
    return d->engine->newArray(length);
}
