// The small dialog that Ctrl+L opens when the editor was started without a port: the serial ports
// the system lists, with what their USB adapters say about themselves, and room to type another
// name (a bridge's pseudo-terminal, say).
#pragma once

#include <string>
#include <vector>

#include "link/serialport.h"

class QWidget;

namespace dotreel {

// One line of the list: the name, then the description and the USB ids when there are any.
std::string portLine(const link::PortInfo& port);

// Modal; the port chosen or typed, or empty when cancelled.
std::string askForPort(QWidget* parent, const std::vector<link::PortInfo>& ports);

}  // namespace dotreel
