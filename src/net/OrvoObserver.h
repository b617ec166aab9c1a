#pragma once

#include <cstdint>

namespace kavelo {

class IOrvoObservedSubject;

// Receives every frame of a link that no request claimed.
class IOrvoObserver {
public:
  virtual ~IOrvoObserver() = default;
  virtual void FrameReceived(uint16_t Header, const uint8_t* ReceiveBuffer,
                             uint16_t ReceiveBufferSize) = 0;
  // Hooks for observers that track their subjects; the link itself never calls them.
  virtual void SubjectAttached(IOrvoObservedSubject* /*subject*/) {}
  virtual void SubjectDetached(IOrvoObservedSubject* /*subject*/) {}
};

class IOrvoObservedSubject {
public:
  virtual ~IOrvoObservedSubject() = default;
  virtual void RegisterObserver(IOrvoObserver* aObserver) = 0;
  virtual void RemoveObserver(IOrvoObserver* aObserver) = 0;
  virtual void NotifyObservers(uint16_t Header, const uint8_t* ReceiveBuffer,
                               uint16_t ReceiveBufferSize) = 0;
};

} // namespace kavelo
