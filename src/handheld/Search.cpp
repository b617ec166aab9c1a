#include "handheld/Search.h"

#include "handheld/Kavelo.h"
#include "handheld/Waiting.h"
#include "net/Helpers.h"

#include <algorithm>

namespace kavelo {

namespace {
constexpr uint32_t kAfterUpdateRequestMs = 500;
constexpr uint32_t kAfterAnnounceMs = 500;
constexpr uint32_t kBetweenRestartsMs = 100;
constexpr uint32_t kAfterRestartsMs = 6000;
} // namespace

TSearchResult SearchHandhelds(TKavelo& kavelo, const QString& IpText, uint16_t Port,
                              const TSearchLog& log) {
  TSearchResult result;
  QString from = IpText;
  if (LocalIPInSubnet(StrToIP(from, InvalidIP)) == InvalidIP) {
    from = IPToStr(FirstLocalIP());
    log(QStringLiteral("LocalIP leer, versuche Adapter ") + from);
  }
  if (!kavelo.Search(from, Port)) return result;
  result.Opened = true;
  QString ignored;
  kavelo.HMUpdateInit(ignored); // waits for the first reply while announcements arrive
  Delay(kAfterUpdateRequestMs);
  QStringList List = kavelo.PeerIPs();
  std::sort(List.begin(), List.end()); // text order: 192.168.0.10 before 192.168.0.9
  for (const QString& address : List)
    log(LocalizedText(196) + " Peer IP " + address);
  const uint8_t announce[] = {0x05, 0x00, 0x10, 0x00, 0x12};
  kavelo.Transmit(announce, sizeof announce);
  Delay(kAfterAnnounceMs);
  for (const QString& address : List) {
    kavelo.Restart(address);
    log(LocalizedText(192) + " Peer IP " + address);
    Delay(kBetweenRestartsMs);
  }
  if (!List.isEmpty()) Delay(kAfterRestartsMs);
  kavelo.Disconnect();
  result.Found = List;
  return result;
}

void ShowSearchResult(const QString& found) {
  if (!found.isEmpty())
    ShowMessageBox(LocalizedText(168) + found + LocalizedText(169), LocalizedText(167),
                   MB_ICONINFORMATION_OK);
  else
    ShowMessageBox(LocalizedText(170), LocalizedText(167), MB_ICONINFORMATION_OK);
}

QString ConnectLogLine(const QString& IpText, uint16_t Port) {
  return LocalizedText(197) + " " + IpText + " Port " + QString::number(Port);
}

} // namespace kavelo
