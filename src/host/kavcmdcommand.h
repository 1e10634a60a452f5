#ifndef KAVCMDCOMMAND_H
#define KAVCMDCOMMAND_H

#include "kavhost_export.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QVariantHash>

class KAVCmdCommandAction;
class QWidget;

// A running host command. The controller creates it through the factory registered for its
// name, starts it, and forgets it as current once it finishes.
class KAVHOST_EXPORT KAVCmdCommand : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString label READ GetLabel WRITE SetLabel)
public:
    explicit KAVCmdCommand(const QByteArray &name, QObject *parent = nullptr);
    ~KAVCmdCommand() override;

    QByteArray GetName() const;
    QString GetLabel() const;
    void SetLabel(const QString &label);

    // What the command was launched with: the data map, the action (may be null) and the
    // widget to parent its windows (may be null).
    QVariantHash GetData() const;
    KAVCmdCommandAction *GetAction() const;
    QWidget *GetParentWidget() const;

    bool IsRunning() const;
    bool IsFinished() const;

    // Called by the controller once.
    void Start(const QVariantHash &data, KAVCmdCommandAction *action, QWidget *parentWidget);

public Q_SLOTS:
    // Ends the command; emits Finished once.
    void Finish();

Q_SIGNALS:
    void Started();
    void Finished();

protected:
    // What the command does when it starts; it may finish at once or later.
    virtual void OnStart();
    // Cleanup before Finished is emitted.
    virtual void OnFinish();

private:
    QByteArray m_name;
    QString m_label;
    QVariantHash m_data;
    QPointer<KAVCmdCommandAction> m_action;
    QPointer<QWidget> m_parentWidget;
    bool m_running = false;
    bool m_finished = false;
};

#endif // KAVCMDCOMMAND_H
