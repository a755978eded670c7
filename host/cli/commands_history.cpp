// simdevice history: the battery history the tweak records, read from the
// device's store through a read-only connection — the samples, the charge
// sessions, or the forecast, as text, CSV or JSON.

#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

#include "history/overview.h"
#include "history/sample_fields.h"
#include "host/cli/command_entries.h"
#include "host/common/time_text.h"
#include "host/common/value_json.h"
#include "host/status/history_remaining.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/utc_text.h"

namespace px::host::cli {
namespace {

using json = nlohmann::ordered_json;

std::string iso_utc(std::int64_t t) { return platform::sim::utc_text(t, "%Y-%m-%dT%H:%M:%SZ"); }

std::string number_text(double v, int decimals = -1) {
  char buf[64];
  if (decimals >= 0)
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  else if (v == std::floor(v) && std::fabs(v) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", v);
  else
    std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

template <class T>
std::string cell(const std::optional<T>& v) {
  if (!v) return {};
  if constexpr (std::is_same_v<T, bool>)
    return *v ? "1" : "0";
  else if constexpr (std::is_integral_v<T>)
    return std::to_string(*v);  // exact, and far cheaper than a formatted double
  else
    return number_text(static_cast<double>(*v));
}

template <class T>
json value(const std::optional<T>& v) {
  return v ? json(*v) : json(nullptr);
}

json round_value(const std::optional<double>& v, int decimals) {
  if (!v || !std::isfinite(*v)) return nullptr;
  if (decimals == 0) return static_cast<long long>(std::llround(*v));
  double scale = std::pow(10.0, decimals);
  return std::round(*v * scale) / scale;
}

// The exports follow the sample's field table: a column per reading in CSV
// and JSON, named as in the store; the text listing shows the readings that
// have a column there, as the table lays them out.

// A reading as CSV writes it: empty when absent; a time in ISO 8601.
std::string field_cell(const history::Sample& s, const history::SampleField& field) {
  return std::visit(
      [&](auto member) {
        const auto& v = s.*member;
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(v)>, std::int64_t>)
          return iso_utc(v);
        else
          return cell(v);
      },
      field.member);
}

// A reading as JSON writes it: null when absent, a flag as true or false.
std::string field_json(const history::Sample& s, const history::SampleField& field) {
  return std::visit(
      [&](auto member) -> std::string {
        const auto& v = s.*member;
        using T = std::remove_cvref_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::int64_t>)
          return "\"" + iso_utc(v) + "\"";
        else if constexpr (std::is_same_v<T, std::optional<bool>>)
          return !v ? "null" : *v ? "true" : "false";
        else if constexpr (std::is_same_v<T, std::optional<double>>)
          return common::json_text(value(v));
        else
          return v ? std::to_string(*v) : "null";
      },
      field.member);
}

// A reading as a number, for the text listing's scaled columns.
std::optional<double> field_number(const history::Sample& s, const history::SampleField& field) {
  return std::visit(
      [&](auto member) -> std::optional<double> {
        const auto& v = s.*member;
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(v)>, std::int64_t>)
          return static_cast<double>(v);
        else if (v)
          return static_cast<double>(*v);
        else
          return std::nullopt;
      },
      field.member);
}

const std::string& sample_header() {
  static const std::string header = [] {
    std::string out;
    for (const history::SampleField& field : history::kSampleFields)
      out += (out.empty() ? "" : ",") + std::string(field.column);
    return out;
  }();
  return header;
}

std::string sample_csv(const history::Sample& s) {
  std::string out;
  for (const history::SampleField& field : history::kSampleFields) {
    if (&field != &history::kSampleFields.front()) out += ",";
    out += field_cell(s, field);
  }
  return out + "\n";
}

// One sample as dump(2) lays out its object, written directly: an export
// of millions of rows would spend most of its time building json values.
std::string sample_json_text(const history::Sample& s) {
  std::string out = "{";
  for (const history::SampleField& field : history::kSampleFields) {
    out += &field == &history::kSampleFields.front() ? "\n  \"" : ",\n  \"";
    out += field.column;
    out += "\": ";
    out += field_json(s, field);
  }
  return out + "\n}";
}

// A text column: `text` and spaces to `width` characters (at least one);
// the last column (width 0) as it is.
std::string text_column(std::string text, int width) {
  if (width == 0) return text;
  std::size_t shown = 0;  // characters, not bytes: a heading holds "°"
  for (unsigned char c : text) shown += (c & 0xC0) != 0x80;
  auto wanted = static_cast<std::size_t>(width);
  return text + std::string(shown < wanted ? wanted - shown : 1, ' ');
}

const std::string& samples_text_header() {
  static const std::string header = [] {
    std::string out;
    for (const history::SampleField& field : history::kSampleFields)
      if (field.text != history::TextForm::none) out += text_column(field.heading, field.width);
    return out + "\n";
  }();
  return header;
}

std::string sample_text(const history::Sample& s) {
  using history::TextForm;
  std::string out;
  for (const history::SampleField& field : history::kSampleFields) {
    std::string text;
    switch (field.text) {
      case TextForm::none:
        continue;
      case TextForm::time:
        text = iso_utc(s.time);
        break;
      case TextForm::percent:
        text = field_cell(s, field);
        if (!text.empty()) text += "%";
        break;
      case TextForm::charger:
        text = !s.external ? "" : *s.external ? (s.full.value_or(false) ? "full" : "on") : "off";
        break;
      case TextForm::hundredths:
        if (std::optional<double> v = field_number(s, field)) text = number_text(*v / 100.0, 2);
        break;
      case TextForm::plain:
        text = field_cell(s, field);
        break;
    }
    if (text.empty() && field.width > 0) text = "-";
    out += text_column(text, field.width);
  }
  return out + "\n";
}

// A list written as its rows are read: the rows never sit in memory together.
// On the terminal the text goes out in blocks as it comes; collected for the
// web page, it stops at kCollectedLimit (the page cannot show more anyway,
// and the server must not hold a store's worth).
constexpr std::size_t kCollectedLimit = 8 << 20;
constexpr std::size_t kBlock = 64 << 10;

class ListWriter {
 public:
  enum class Form { text, csv, json };
  ListWriter(Context& context, Form form) : m_context(context), m_form(form) {}

  void header(std::string_view text) { m_pending.append(text); }
  // One row (for JSON, the element as dump(2) lays it out); false once the
  // output must stop (the collected limit).
  bool row(const std::string& text) {
    if (m_form == Form::json) {
      // As dump(2) lays out an array of objects.
      m_pending += m_rows == 0 ? "[\n  " : ",\n  ";
      for (std::size_t at = 0, next; at < text.size(); at = next + 1) {
        next = std::min(text.find('\n', at), text.size());
        m_pending.append(text, at, next - at);
        if (next < text.size()) m_pending += "\n  ";
      }
    } else {
      m_pending += text;
    }
    ++m_rows;
    return flush(false);
  }
  // Ends the list; `empty_text` is the text form's line for none.
  void finish(std::string_view empty_text) {
    if (m_form == Form::json) m_pending += m_rows == 0 ? "[]\n" : "\n]\n";
    if (m_form == Form::text && m_rows == 0) m_pending = std::string(empty_text);
    flush(true);
  }
  bool cut() const { return m_cut; }

 private:
  bool flush(bool last) {
    if (m_cut) return false;
    if (!m_context.streaming() && m_written + m_pending.size() > kCollectedLimit) {
      m_cut = true;
      return false;
    }
    if (!last && m_pending.size() < kBlock) return true;
    m_written += m_pending.size();
    m_context.write(Stream::output, m_pending);
    m_pending.clear();
    return true;
  }

  Context& m_context;
  Form m_form;
  std::string m_pending;
  std::size_t m_rows = 0, m_written = 0;
  bool m_cut = false;
};

std::string duration_text(std::int64_t seconds) {
  std::int64_t h = seconds / 3600, m = seconds % 3600 / 60;
  return h ? std::to_string(h) + "h " + std::to_string(m) + "m" : std::to_string(m) + "m";
}

json session_json(const history::ChargeSession& c) {
  return {{"start", iso_utc(c.start)},
          {"end", c.end ? json(iso_utc(*c.end)) : json(nullptr)},
          {"start_level", value(c.start_level)},
          {"end_level", value(c.end_level)},
          {"mah_added", value(c.mah_added)},
          {"peak_watts", value(c.peak_watts)},
          {"duration", c.duration}};
}

std::string session_csv(const history::ChargeSession& c) {
  return iso_utc(c.start) + "," + (c.end ? iso_utc(*c.end) : "") + "," + cell(c.start_level) + "," + cell(c.end_level) +
         "," + cell(c.mah_added) + "," + cell(c.peak_watts) + "," + std::to_string(c.duration) + "\n";
}

std::string session_text(const history::ChargeSession& c) {
  auto pct = [](const std::optional<std::int32_t>& l) { return l ? std::to_string(*l) + "%" : std::string("?"); };
  return iso_utc(c.start) + " -> " + (c.end ? iso_utc(*c.end) : std::string("(charging)")) + "  " + pct(c.start_level) +
         " -> " + pct(c.end_level) + "  " +
         (c.mah_added ? (*c.mah_added >= 0 ? "+" : "") + cell(c.mah_added) + " mAh" : std::string("? mAh")) + "  " +
         (c.peak_watts ? cell(c.peak_watts) + " W" : std::string("? W")) + "  " + duration_text(c.duration) + "\n";
}

std::string forecast_output(const history::Forecast& f, bool as_json) {
  std::optional<double> c80 = f.cycles_to_80, lo = f.cycles_to_80_low, hi = f.cycles_to_80_high;
  if (as_json) {
    json j = {{"status", history::forecast_status_name(f.status)},
              {"health_percent", round_value(f.health_percent, 1)},
              {"cycles_to_80", round_value(c80, 0)},
              {"cycles_to_80_low", round_value(lo, 0)},
              {"cycles_to_80_high", round_value(hi, 0)},
              {"date_80", f.time_80 ? json(history::utc_date(*f.time_80)) : json(nullptr)},
              {"cycles", round_value(f.cycles, 0)},
              {"cycles_per_day", round_value(f.cycles_per_day, 2)},
              {"model", f.model.empty() ? json(nullptr) : json(f.model)},
              {"exponent", round_value(f.exponent, 2)},
              {"days_needed", value(f.days_needed)}};
    return common::json_text(j, 2) + "\n";
  }
  std::string out =
      "Health: " + (f.health_percent ? number_text(*f.health_percent, 1) + " %" : std::string("unknown")) + "\n";
  switch (f.status) {
    case history::ForecastStatus::ok:
      out += "80 % in about " + number_text(*c80, 0) + " cycles (" + number_text(*lo, 0) + "-" +
             (hi ? number_text(*hi, 0) : std::string("?")) + ")";
      if (f.time_80) out += ", around " + history::utc_date(*f.time_80);
      out += "\n";
      break;
    case history::ForecastStatus::not_enough_history:
      out += "Not enough history yet (" + std::to_string(f.days_needed.value_or(1)) + " more day" +
             (f.days_needed.value_or(1) == 1 ? "" : "s") + ")\n";
      break;
    case history::ForecastStatus::not_cycled:
      out += "No forecast: the battery has not cycled\n";
      break;
    case history::ForecastStatus::no_wear:
      out += "No wear measured yet\n";
      break;
    case history::ForecastStatus::already_below_80:
      out += "Already below 80 %\n";
      break;
    case history::ForecastStatus::no_capacity_data:
      out += "No capacity data yet\n";
      break;
  }
  return out;
}

// The option's time in whole seconds; nothing when it was not given.
platform::foundation::Result<std::optional<std::int64_t>> time_option(const ParsedArgs& args, const char* name,
                                                                      double now) {
  std::optional<std::string> text = args.last(name);
  if (!text) return std::optional<std::int64_t>();
  auto t = common::parse_device_time(*text, now);
  if (!t) return platform::foundation::fail(t.code(), std::string(name) + ": " + t.message());
  return std::optional<std::int64_t>(static_cast<std::int64_t>(std::floor(*t)));
}

CommandResult unreadable(const history::StoreError& error) {
  return Context::failure(std::string("the battery history could not be read (") +
                          history::problem_name(error.problem) + ": " + error.detail + ")");
}

CommandResult run_history(const ParsedArgs& args, Context& context) {
  std::string what = args.positional(0).value_or("samples");
  bool csv = args.has("--csv"), as_json = args.has("--json");
  if (what != "samples" && what != "sessions" && what != "forecast" && what != "remaining")
    return context.usage_error("unknown history view '" + what + "'");
  if (csv && as_json) return context.usage_error("--csv and --json exclude each other");
  if ((what == "forecast" || what == "remaining") && csv)
    return context.usage_error("the " + what + " is text or --json");
  if (what != "samples" && (args.has("--since") || args.has("--until")))
    return context.usage_error("--since and --until select samples");

  platform::sim::reload_device_clock();
  double now = platform::sim::device_now();
  auto since_option = time_option(args, "--since", now);
  if (!since_option) return context.usage_error(since_option.message());
  auto until_option = time_option(args, "--until", now);
  if (!until_option) return context.usage_error(until_option.message());
  std::optional<std::int64_t> since = *since_option, until = *until_option;
  if (since && until && *since > *until) return context.usage_error("--since is after --until");

  history::HistoryReader reader;
  history::StoreResult<> opened = reader.open();
  if (!opened.ok() && opened.error().problem != history::StoreProblem::missing)
    return Context::failure(std::string("the battery history is unavailable (") +
                            history::problem_name(opened.error().problem) +
                            (opened.error().detail.empty() ? "" : ": " + opened.error().detail) + ")");
  if (what == "remaining") {
    // One estimate for every place it shows: the panes and the tweak's popup use it too.
    history::RemainingEstimate estimate =
        reader.is_open() ? history::read_remaining(reader, static_cast<std::int64_t>(std::llround(now)))
                         : history::RemainingEstimate{};
    return {0, status::remaining_output(estimate, as_json), {}};
  }
  if (what == "forecast") {
    // Read as the pane reads it (one path from the store), so both show one forecast.
    history::Forecast forecast;
    if (reader.is_open()) {
      history::HistoryOverview o = history::read_overview(reader, static_cast<std::int64_t>(std::llround(now)));
      if (!o.status.ok()) return unreadable(o.status.error());
      forecast = std::move(o.forecast);
    }
    return {0, forecast_output(forecast, as_json), {}};
  }

  using Form = ListWriter::Form;
  ListWriter list(context, as_json ? Form::json : csv ? Form::csv : Form::text);
  // A failure to begin shows in reader.status() after the walk.
  if (reader.is_open()) (void)reader.begin_read();
  if (what == "sessions") {
    if (csv) list.header("start,end,start_level,end_level,mah_added,peak_watts,duration\n");
    auto put = [&](const history::ChargeSession& c) {
      return list.row(as_json ? common::json_text(session_json(c), 2) : csv ? session_csv(c) : session_text(c));
    };
    history::SessionTracker sessions;
    bool going = true;
    // The readings sessions are made of, as the pane reads them.
    if (reader.is_open())
      reader.each_overview_sample([&](const history::Sample& s) {
        if (std::optional<history::ChargeSession> done = sessions.add(s)) going = put(*done);
        return going;
      });
    if (std::optional<history::ChargeSession> last = sessions.ongoing(); last && going) put(*last);
  } else {
    if (csv) list.header(sample_header() + "\n");
    if (!csv && !as_json) list.header(samples_text_header());
    if (reader.is_open())
      reader.each_sample(since, until, [&](const history::Sample& s) {
        return list.row(as_json ? sample_json_text(s) : csv ? sample_csv(s) : sample_text(s));
      });
  }
  reader.end_read();
  if (reader.is_open() && !reader.status().ok()) return unreadable(reader.status().error());
  if (list.cut()) {
    context.take_collected(Stream::output);
    return Context::failure("the list passes " + std::to_string(kCollectedLimit >> 20) +
                            " MiB; narrow it with --since and --until, or run it on the terminal");
  }
  list.finish(what == "sessions" ? "No charge sessions.\n" : "No samples.\n");
  return {0, context.take_collected(Stream::output), {}};
}

}  // namespace

Command history_command() {
  Command history{"history",
                  "the battery history: samples, charge sessions, the health forecast, or the time left",
                  {},
                  true,
                  run_history};
  history.args.positionals = {{"samples|sessions|forecast|remaining", "what to show (samples when left out)", false}};
  history.args.options = {{"--since", "TIME", "samples from TIME on"},
                          {"--until", "TIME", "samples up to TIME"},
                          {"--csv", "", "as CSV (samples, sessions)"},
                          {"--json", "", "as JSON"}};
  history.args.notes = {std::string("TIME: ") + common::kTimeForms,
                        "Times are printed in ISO 8601, UTC; absent values are empty (null in JSON)."};
  return history;
}

}  // namespace px::host::cli
