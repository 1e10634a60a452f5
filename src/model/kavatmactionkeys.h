#ifndef KAVATMACTIONKEYS_H
#define KAVATMACTIONKEYS_H

#include "kavautomation_export.h"

#include <QtCore/QJsonValue>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

// A key of an action's JSON as its definition reads it.
struct KAVAUTOMATION_EXPORT KAVAtmActionKey {
    enum class Type { String, Integer, Number, Boolean, Object, Array };
    // What a path in the key names, resolved against the procedure file's folder.
    enum class Names { Nothing, File, Script, Baseline };

    QString name;
    Type type = Type::String;
    QString description;
    // What a missing key, or one of another JSON type, reads as; undefined: nothing.
    QJsonValue defaultValue = QJsonValue(QJsonValue::Undefined);
    bool required = false;
    // A number below the minimum (or at it, when exclusive) reads as clampedTo; NaN: none.
    double minimum = qQNaN();
    bool exclusiveMinimum = false;
    QJsonValue clampedTo = QJsonValue(QJsonValue::Undefined);
    // The texts it takes, in any letter case, when there are a few; another fails the action
    // when otherValueFails, else it reads as clampedTo.
    QStringList values;
    bool otherValueFails = false;
    // Missing, the action runs but does not do what it is there for.
    bool expected = false;
    Names names = Names::Nothing;
};

// The keys each action type reads, with what it does: the one description that procedure
// checks, the JSON Schema and the action reference are made from. A test holds each typed
// definition to it.
namespace KAVAtmActionKeys {

// The action types, as their definitions name them.
KAVAUTOMATION_EXPORT QStringList Types();
// The type of that name in any letter case (scripts write "executeScript"), or empty.
KAVAUTOMATION_EXPORT QString Find(const QString &type);
KAVAUTOMATION_EXPORT QString Description(const QString &type);
// The keys every action has, then the type's own.
KAVAUTOMATION_EXPORT QList<KAVAtmActionKey> Keys(const QString &type);
// The JSON type as a schema names it: "string", "integer", ...
KAVAUTOMATION_EXPORT QString TypeName(KAVAtmActionKey::Type type);

} // namespace KAVAtmActionKeys

#endif // KAVATMACTIONKEYS_H
