#include "station/doctor/Doctor.h"

#include "station/doctor/DeviceChecks.h"
#include "station/doctor/LineChecks.h"
#include "station/doctor/NetworkChecks.h"
#include "station/doctor/RegisterChecks.h"

namespace station {

namespace {

void Append(DoctorLines& lines, DoctorLines more) {
    lines.insert(lines.end(), std::make_move_iterator(more.begin()),
                 std::make_move_iterator(more.end()));
}

}  // namespace

DoctorLines RunDoctor(const DoctorRequest& request) {
    const SystemPicture system = LookAtSystem(request.root);
    DoctorLines lines = CheckReaders(system);
    lines.push_back(CheckDeviceRules(system));
    Append(lines, CheckAccess(request.root, system, request.user));
    Append(lines, CheckModemManager(request.root, system));
    lines.push_back(CheckBrailleService(system));
    Append(lines, CheckFtdiDriver(system, request.port));
    if (request.checkLine && !request.port.empty())
        Append(lines, CheckLine(request.root, {request.port, request.baud, request.timeoutMs}));
    if (request.lan) {
        lines.push_back(CheckLanAdapters(request.root));
        lines.push_back(CheckLanReply());
        lines.push_back(CheckFirewall());
    }
    if (request.cardRegister) Append(lines, CheckRegister(*request.cardRegister));
    return lines;
}

}  // namespace station
