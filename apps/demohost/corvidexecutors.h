#ifndef CORVIDEXECUTORS_H
#define CORVIDEXECUTORS_H

#include "kavatmclosefileactiondef.h"
#include "kavatmopenfileactiondef.h"
#include "kavatmresetusersettingactiondef.h"
#include "kavatmswitchenvironmentactiondef.h"
#include "kavatmtestactionbase.h"

#include <memory>

class CorvidPlatform;

// Executors of the four action types whose work belongs to the host. Each follows the
// library's executor pattern: an invokable constructor, its typed definition read from the
// action JSON, one final report.

class CorvidOpenFileAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE CorvidOpenFileAction(KAVAtmPlatform &platform, const QUuid &id,
                                     const QJsonValue &data);
    void Execute() override;

protected:
    KAVAtmOpenFileActionDef *GetActionDef() const override { return m_def.get(); }

private:
    std::unique_ptr<KAVAtmOpenFileActionDef> m_def;
};

class CorvidCloseFileAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE CorvidCloseFileAction(KAVAtmPlatform &platform, const QUuid &id,
                                      const QJsonValue &data);
    void Execute() override;

protected:
    KAVAtmCloseFileActionDef *GetActionDef() const override { return m_def.get(); }

private:
    std::unique_ptr<KAVAtmCloseFileActionDef> m_def;
};

class CorvidSwitchEnvironmentAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE CorvidSwitchEnvironmentAction(KAVAtmPlatform &platform, const QUuid &id,
                                              const QJsonValue &data);
    void Execute() override;

protected:
    KAVAtmSwitchEnvironmentActionDef *GetActionDef() const override { return m_def.get(); }

private:
    std::unique_ptr<KAVAtmSwitchEnvironmentActionDef> m_def;
};

class CorvidResetUserSettingAction : public KAVAtmTestActionBase {
    Q_OBJECT
public:
    Q_INVOKABLE CorvidResetUserSettingAction(KAVAtmPlatform &platform, const QUuid &id,
                                             const QJsonValue &data);
    void Execute() override;

protected:
    KAVAtmResetUserSettingActionDef *GetActionDef() const override { return m_def.get(); }

private:
    std::unique_ptr<KAVAtmResetUserSettingActionDef> m_def;
};

#endif // CORVIDEXECUTORS_H
