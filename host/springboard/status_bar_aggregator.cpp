// SBStatusBarStateAggregator: the status bar's time item. Its formatter lives
// in the instance variable _timeItemDateFormatter, where tweaks find it by
// name; _resetTimeItemFormatter gives it SpringBoard's own pattern and
// _updateTimeItems renders the device's current time with it.

#include "host/springboard/springboard_classes.h"
#include "platform/foundation/date_formatter.h"
#include "platform/objc/native_class.h"
#include "platform/sim/device_clock.h"

namespace px::host::springboard {
namespace {

using platform::objc::id;
using platform::objc::Imp;
using platform::objc::sel;

constexpr const char* kFormatterIvar = "_timeItemDateFormatter";

std::shared_ptr<platform::foundation::NSDateFormatter> time_formatter(const id& self) {
  platform::objc::Ivar ivar =
      platform::objc::class_getInstanceVariable(platform::objc::object_getClass(self), kFormatterIvar);
  return platform::objc::cast<platform::foundation::NSDateFormatter>(platform::objc::object_getIvar<id>(self, ivar));
}

id aggregator_init(id self, platform::objc::SEL) {
  auto formatter = platform::foundation::NSDateFormatter::make();
  // A fixed locale keeps "a" as AM/PM whatever the host's language.
  formatter->setLocale("en_US_POSIX");
  formatter->setDateFormat(kTimeItemPattern);
  platform::objc::Ivar ivar =
      platform::objc::class_getInstanceVariable(platform::objc::object_getClass(self), kFormatterIvar);
  platform::objc::object_setIvar<id>(self, ivar, formatter);
  return self;
}

void aggregator_update_time_items(id self, platform::objc::SEL) {
  state().time_item_updates++;
  auto formatter = time_formatter(self);
  state().status_bar_time = formatter ? formatter->stringFromDate(platform::sim::device_now()) : std::string();
}

void aggregator_reset_time_item_formatter(id self, platform::objc::SEL) {
  state().formatter_resets++;
  if (auto formatter = time_formatter(self)) formatter->setDateFormat(kTimeItemPattern);
}

}  // namespace

void register_status_bar_classes() {
  if (platform::objc::objc_getClass("SBStatusBarStateAggregator")) return;
  platform::objc::Class cls =
      platform::objc::objc_allocateClassPair(platform::objc::NSObject_class(), "SBStatusBarStateAggregator");
  platform::objc::class_addIvar(cls, kFormatterIvar, typeid(id));
  platform::objc::class_addClassMethod<id>(cls, sel("sharedInstance"), Imp<id>([](id, platform::objc::SEL) {
                                             return shared_instance("SBStatusBarStateAggregator");
                                           }));
  platform::objc::class_addMethod<id>(cls, sel("init"), Imp<id>(aggregator_init));
  platform::objc::class_addMethod<void>(cls, sel("_updateTimeItems"), Imp<void>(aggregator_update_time_items));
  platform::objc::class_addMethod<void>(cls, sel("_resetTimeItemFormatter"),
                                        Imp<void>(aggregator_reset_time_item_formatter));
  platform::objc::objc_registerClassPair(cls);
}

}  // namespace px::host::springboard
