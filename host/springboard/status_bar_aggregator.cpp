// SBStatusBarStateAggregator: the status bar's time item. Its formatter lives
// in the instance variable _timeItemDateFormatter, where tweaks find it by
// name; _resetTimeItemFormatter gives it SpringBoard's own pattern and
// _updateTimeItems renders the device's current time with it.

#include "host/springboard/springboard_classes.h"
#include "platform/foundation/date_formatter.h"
#include "platform/objc/native_class.h"
#include "platform/sim/device_clock.h"

namespace springboard {
namespace {

using objc::id;
using objc::Imp;
using objc::sel;

constexpr const char* kFormatterIvar = "_timeItemDateFormatter";

std::shared_ptr<foundation::NSDateFormatter> time_formatter(const id& self) {
  objc::Ivar ivar = objc::class_getInstanceVariable(objc::object_getClass(self), kFormatterIvar);
  return objc::cast<foundation::NSDateFormatter>(objc::object_getIvar<id>(self, ivar));
}

id aggregator_init(id self, objc::SEL) {
  auto formatter = foundation::NSDateFormatter::make();
  // A fixed locale keeps "a" as AM/PM whatever the host's language.
  formatter->setLocale("en_US_POSIX");
  formatter->setDateFormat(kTimeItemPattern);
  objc::Ivar ivar = objc::class_getInstanceVariable(objc::object_getClass(self), kFormatterIvar);
  objc::object_setIvar<id>(self, ivar, formatter);
  return self;
}

void aggregator_update_time_items(id self, objc::SEL) {
  state().time_item_updates++;
  auto formatter = time_formatter(self);
  state().status_bar_time = formatter ? formatter->stringFromDate(sim::device_now()) : std::string();
}

void aggregator_reset_time_item_formatter(id self, objc::SEL) {
  state().formatter_resets++;
  if (auto formatter = time_formatter(self)) formatter->setDateFormat(kTimeItemPattern);
}

}  // namespace

void register_status_bar_classes() {
  if (objc::objc_getClass("SBStatusBarStateAggregator")) return;
  objc::Class cls = objc::objc_allocateClassPair(objc::NSObject_class(), "SBStatusBarStateAggregator");
  objc::class_addIvar(cls, kFormatterIvar, typeid(id));
  objc::class_addClassMethod<id>(cls, sel("sharedInstance"),
                                 Imp<id>([](id, objc::SEL) { return shared_instance("SBStatusBarStateAggregator"); }));
  objc::class_addMethod<id>(cls, sel("init"), Imp<id>(aggregator_init));
  objc::class_addMethod<void>(cls, sel("_updateTimeItems"), Imp<void>(aggregator_update_time_items));
  objc::class_addMethod<void>(cls, sel("_resetTimeItemFormatter"), Imp<void>(aggregator_reset_time_item_formatter));
  objc::objc_registerClassPair(cls);
}

}  // namespace springboard
