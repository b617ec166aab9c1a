#pragma once
// Finding the handhelds on the local network, as the window's Search button and the command
// line's search do it: the update-mode request by broadcast, the answers to the announcements,
// and a restart for every handheld found.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

namespace kavelo {

class TKavelo;

// The address a search starts from before the user has typed one.
inline constexpr char kDefaultAddressText[] = "192.168.0.100";

struct TSearchResult {
  bool Opened = false; // false: the endpoint could not be opened, nothing was sent
  // The addresses that announced themselves, in text order (192.168.0.10 before 192.168.0.9);
  // a handheld that announced twice is in it twice.
  QStringList Found;
};

// Each line of the window's log as the search writes it.
using TSearchLog = std::function<void(const QString& line)>;

// Searches from the adapter that serves IpText's subnet, or from the first adapter when none
// does, and leaves the connection closed. Takes several seconds of waits.
TSearchResult SearchHandhelds(TKavelo& kavelo, const QString& IpText, uint16_t Port,
                              const TSearchLog& log);

// The box that ends a search: "Kavelo with IP address <found> found." or, when found is empty,
// "No Kavelo found!".
void ShowSearchResult(const QString& found);

// The log line of an opened connection: "Connecting with 192.168.0.100 Port 21105".
QString ConnectLogLine(const QString& IpText, uint16_t Port);

} // namespace kavelo
