#pragma once
// HARDWARE\DEVICEMAP\SERIALCOMM, where each serial driver enters the ports
// it runs now: the value's name is the device ("\Device\Serial0"), its data
// the port's name ("COM1"). The key is rebuilt at every start of Windows.
#include <string>
#include <vector>

namespace qb480 {

struct SerialCommEntry {
    std::string device;
    std::string portName;
};

// Every text entry, read only; none when the key is missing. An entry too
// long for any port name is passed over.
std::vector<SerialCommEntry> ReadSerialComm();

}  // namespace qb480
