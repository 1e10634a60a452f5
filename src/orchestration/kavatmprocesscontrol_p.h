#ifndef KAVATMPROCESSCONTROL_P_H
#define KAVATMPROCESSCONTROL_P_H

class QProcess;

// What the runner needs of the operating system to keep its clients in hand; one file per
// platform implements it (kavatmprocesscontrol_unix.cpp).
namespace KAVAtmProcessControl {

// Set before the client starts: it is ended with everything it starts, and it dies with the
// runner, even a killed one (where the platform can promise that: Linux).
void PrepareClient(QProcess *process);

// Ends the client and every process it started, at once.
void KillClient(QProcess *process);

} // namespace KAVAtmProcessControl

#endif // KAVATMPROCESSCONTROL_P_H
