// One installer or uninstaller per product at a time, on the whole machine: installs write
// machine-wide state (HKLM, services, the same install folder), so two runs of one product must
// never overlap, whoever started them and in whichever session.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace sys {

enum class InstanceClaim {
  kClaimed,           // no other run of the product: this process holds it now
  kRunningHere,       // another run holds it in this session
  kRunningElsewhere,  // another run holds it in another session (another user's desktop)
};

// The name that stands for a product among the system's named objects: "WebInstaller." and the
// product id, with "%" and "\" (which a kernel object name cannot hold) written as %25 and %5C, so
// that two product ids never share a name.
std::wstring InstanceName(std::wstring_view productId);

// Claims the product for this process on construction and holds it until destroyed (or the
// process ends, however it ends). Construct it on the GUI thread: while it holds the claim, later
// runs of the product in this session can find this thread's window.
class ProductInstance {
 public:
  explicit ProductInstance(std::wstring_view productId);
  ~ProductInstance();
  ProductInstance(const ProductInstance&) = delete;
  ProductInstance& operator=(const ProductInstance&) = delete;

  InstanceClaim Claim() const { return claim_; }

 private:
  struct Held;
  std::unique_ptr<Held> held_;
  InstanceClaim claim_ = InstanceClaim::kClaimed;
};

// Brings the window that the run holding productId shows in this session to the front (its
// dialog, when one is open). False when that run shows no window.
bool BringRunningInstanceToFront(std::wstring_view productId);

}  // namespace sys
