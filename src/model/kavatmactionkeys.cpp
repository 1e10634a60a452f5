#include "kavatmactionkeys.h"
#include "kavatmtestactiondef.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>

#include <map>

namespace {

using Key = KAVAtmActionKey;
using Type = KAVAtmActionKey::Type;

struct ActionType {
    QString description;
    QList<Key> keys;
};

Key key(const char *name, Type type, const char *description,
        QJsonValue defaultValue = QJsonValue(QJsonValue::Undefined))
{
    Key made;
    made.name = QString::fromLatin1(name);
    made.type = type;
    made.description = QString::fromUtf8(description);
    made.defaultValue = defaultValue;
    return made;
}

Key required(Key made)
{
    made.required = true;
    return made;
}

Key naming(Key made, Key::Names names)
{
    made.names = names;
    return made;
}

const std::map<QString, ActionType> &table()
{
    static const std::map<QString, ActionType> types = [] {
        Key timeout = key("timeout", Type::Integer,
                          "Seconds the action may take before it fails; 0 for no limit.",
                          KAVAtmTestActionDef::DefaultTimeout);
        timeout.minimum = 0;
        timeout.clampedTo = 0;
        Key platform = key("platform", Type::String, "The host platform the action is for.",
                           QStringLiteral("unspecified"));
        platform.values = QStringList {"unspecified", "tessaron", "corvid", "other"};
        platform.clampedTo = QStringLiteral("other");
        Key speed = key("speed", Type::Number,
                        "How fast the input is replayed: 2 is twice as fast as recorded.", 1);
        speed.minimum = 0;
        speed.exclusiveMinimum = true;
        speed.clampedTo = 1;
        Key command
            = key("command", Type::String, "Start or stop recording.", QStringLiteral("stop"));
        command.values = QStringList {"start", "stop"};
        command.otherValueFails = true;
        const Key baseline
            = naming(key("baseline", Type::String,
                         "The baseline file the data is compared with; a first run writes it."),
                     Key::Names::Baseline);

        std::map<QString, ActionType> made;
        made["CloseFile"] = {
            "Closes a document.",
            {key("file", Type::String, "The document to close; none: the current one."),
             key("saveBeforeClose", Type::Boolean, "Saves the document before it is closed.",
                 false),
             key("forceSaveAs", Type::Boolean, "Saves under a new name, as Save As does.", false)}};
        Key assertedBaseline = baseline;
        assertedBaseline.expected = true;
        made["DataAssert"]
            = {"Compares the host's current feature data with a baseline file.",
               {assertedBaseline,
                key("ignoreProps", Type::Array,
                    "Property names left out of the comparison, besides those that change on "
                    "every run."),
                key("ignoreClassProps", Type::Array,
                    "Property names left out for one class: [{\"className\", "
                    "\"ignoreProps\"}]."),
                key("strict", Type::Boolean,
                    "Also fail on properties the actual data has and the baseline does not (a "
                    "full snapshot); without it they are not compared.",
                    false)}};
        made["ExecuteScript"] = {
            "Runs a JavaScript test case: a script file whose text is a function.",
            {naming(key("script", Type::String, "The script file, relative to the procedure file."),
                    Key::Names::Script),
             key("category", Type::String, "A category for the case manager."),
             key("description", Type::String, "What the case checks."),
             key("importModules", Type::Array,
                 "Script files loaded first: [{\"file\", \"namespace\", \"loadType\": "
                 "\"import\" or \"evaluate\"}]."),
             baseline}};
        made["LaunchCommand"]
            = {"Launches a host command, as its menu entry would.",
               {required(key("actionId", Type::String,
                             "The command, as \"Menu.Command\" (\"Part.Quantity\").")),
                key("actionData", Type::Object,
                    "What a recording kept of the command's dialog, for reference: not used "
                    "when the action runs (SetAutomationData gives a dialog its values).")}};
        made["OpenFile"] = {"Opens a document in the host.",
                            {required(naming(key("file", Type::String,
                                                 "The document, relative to the procedure file."),
                                             Key::Names::File))}};
        made["Recording"] = {"Starts or stops the recording of what the user does.", {command}};
        made["ResetUserSetting"] = {"Puts the host's user settings back to their defaults.", {}};
        Key threshold = key("threshold", Type::Number,
                            "How far a pixel's colour may be from the baseline's and still be the "
                            "same, 0..1 (perceived distance; more than 1 reads as 1).",
                            0.2);
        threshold.minimum = 0;
        threshold.clampedTo = 0;
        Key maxDiffPixels = key("maxDiffPixels", Type::Integer,
                                "How many pixels may differ and the action still pass.", 0);
        maxDiffPixels.minimum = 0;
        maxDiffPixels.clampedTo = 0;
        Key maxDiffPixelRatio
            = key("maxDiffPixelRatio", Type::Number,
                  "The share of the pixels, 0..1, that may differ and the action still pass.", 0);
        maxDiffPixelRatio.minimum = 0;
        maxDiffPixelRatio.clampedTo = 0;
        made["ScreenshotAssert"]
            = {"Compares what a widget of the host (or all its windows) shows with a PNG "
               "baseline; a first run writes it.",
               {key("widget", Type::String,
                    "The object name path of the widget to capture (\"window/panel/view\"); "
                    "none: every visible window, as a failure's screenshot shows them."),
                required(naming(key("baseline", Type::String,
                                    "The PNG the capture is compared with, relative to the "
                                    "procedure file; a first run writes it."),
                                Key::Names::Baseline)),
                key("mask", Type::Array,
                    "Object name paths of widgets painted over before comparing (clocks, "
                    "progress: what changes by itself).",
                    QJsonArray()),
                threshold, maxDiffPixels, maxDiffPixelRatio}};
        made["SetAutomationData"]
            = {"Gives the next dialog or message box its answers.",
               {key("map", Type::Object, "Answers by control name.", QJsonObject()),
                key("clear", Type::Boolean, "Drops the answers given before.", true)}};
        made["SetSelection"] = {"Selects feature objects.",
                                {key("selections", Type::Array,
                                     "The paths of the feature objects to select.", QJsonArray())}};
        made["SwitchEnvironment"] = {"Makes another environment of the host current.",
                                     {key("environment", Type::String, "The environment's name.")}};
        made["TimeWait"]
            = {"Waits a fixed time.", {key("wtime", Type::Integer, "Milliseconds to wait.", 0)}};
        made["WaitNest"] = {"Waits until the host's nesting work has finished.", {}};
        made["WaitTranslation"] = {"Waits until the host's sources are translated.", {}};
        made["WaitUpdate"] = {"Waits until the host's model is up to date.", {}};
        made["WidgetReplay"] = {"Replays recorded input into the host's widgets.",
                                {speed, key("events", Type::Array, "The recorded input events.")}};
        const QList<Key> common {
            required(key("action", Type::String, "The action's type.")),
            key("name", Type::String, "A name for reports and result files."),
            platform,
            key("alwaysExecute", Type::Boolean,
                "Runs even after an earlier action of the procedure failed.", false),
            timeout,
        };
        for (auto &[name, type] : made)
            type.keys = common + type.keys;
        // A document action is for the host it names, by default the first kind of host.
        for (Key &key : made["OpenFile"].keys) {
            if (key.name == QLatin1String("platform"))
                key.defaultValue = QStringLiteral("tessaron");
        }
        return made;
    }();
    return types;
}

} // namespace

namespace KAVAtmActionKeys {

QStringList Types()
{
    QStringList names;
    for (const auto &entry : table())
        names.append(entry.first);
    return names;
}

QString Find(const QString &type)
{
    // ASCII letter case only, as the host matches types: Unicode folding would take "ſ" for
    // "s" here and nowhere else.
    const QByteArray lower = type.toUtf8().toLower();
    for (const auto &entry : table()) {
        if (entry.first.toUtf8().toLower() == lower)
            return entry.first;
    }
    return QString();
}

QString Description(const QString &type)
{
    const auto found = table().find(Find(type));
    return found == table().end() ? QString() : found->second.description;
}

QList<KAVAtmActionKey> Keys(const QString &type)
{
    const auto found = table().find(Find(type));
    return found == table().end() ? QList<KAVAtmActionKey>() : found->second.keys;
}

QString TypeName(KAVAtmActionKey::Type type)
{
    switch (type) {
    case Type::String:
        return QStringLiteral("string");
    case Type::Integer:
        return QStringLiteral("integer");
    case Type::Number:
        return QStringLiteral("number");
    case Type::Boolean:
        return QStringLiteral("boolean");
    case Type::Object:
        return QStringLiteral("object");
    case Type::Array:
        break;
    }
    return QStringLiteral("array");
}

} // namespace KAVAtmActionKeys
