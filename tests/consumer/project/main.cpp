// An outside program built against the installed package: writes a procedure, reads it back.
#include <kavatmtestactionresult.h>
#include <kavatmtestproceduredef.h>
#include <kavatmtestprocedureresult.h>
#include <kavatmtimewaitactiondef.h>
#include <kavsysvalue.h>

#include <QtCore/QCoreApplication>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kavconsumer <procedure.json>\n");
        return 2;
    }

    KAVAtmTestProcedureDef procedure(QString::fromLocal8Bit(argv[1]));
    auto *wait = new KAVAtmTimeWaitActionDef;
    wait->SetWaitTime(25);
    procedure.AddTestActionDef(*wait, 0);
    procedure.SaveToJsonFile();

    std::unique_ptr<KAVAtmTestProcedureDef> loaded(
        KAVAtmTestProcedureDef::FromJsonFile(procedure.GetFilePath()));
    if (!loaded->GetInvalidReason().isEmpty() || loaded->GetActionsCount() != 1
        || loaded->GetAction(0)->GetType() != QLatin1String("TimeWait")) {
        std::fprintf(stderr, "procedure did not round-trip\n");
        return 1;
    }
    std::unique_ptr<KAVAtmTestProcedureResult> result(loaded->CreateResult());
    const KAVSysValue length(1.0, KAVSysValue::Inch);
    std::printf("%d action result(s); 1 in = %g mm\n", int(result->GetActionResults().size()),
                length.ConvertTo(KAVSysValue::Millimeter));
    return 0;
}
