#include "figures_table.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace kronel_bench {
namespace {

using Run = benchmark::BenchmarkReporter::Run;

struct Row {
  std::string figure, value, baseline, ratio, goal, met;
};

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Time(double ns) {
  if (ns < 1e3) return Format("%.1f ns", ns);
  if (ns < 1e6) return Format("%.2f us", ns / 1e3);
  if (ns < 1e9) return Format("%.2f ms", ns / 1e6);
  return Format("%.2f s", ns / 1e9);
}

std::string Times(double ratio) { return Format(ratio < 10 ? "%.2fx" : "%.0fx", ratio); }

class Table {
 public:
  Table(const std::map<std::string, Run>& runs, bool judge, bool filtered)
      : runs_(runs), judge_(judge), filtered_(filtered) {}

  // The run, or null after adding a row that says why there is none.
  const Run* Find(const std::string& key, const std::string& figure) {
    auto found = runs_.find(key);
    if (found == runs_.end()) {
      if (filtered_) {
        if (missing_.insert(key).second) Add({figure, "not run (filtered out)", "", "", "", "-"});
        return nullptr;
      }
      Add({figure, "did not run", "", "", "", "ERROR"});
      complete_ = false;
      return nullptr;
    }
    if (found->second.error_occurred) {
      Add({figure, "error: " + found->second.error_message, "", "", "", "ERROR"});
      complete_ = false;
      return nullptr;
    }
    return &found->second;
  }

  static double Nanoseconds(const Run& run) {
    return run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
  }
  static double Counter(const Run& run, const char* name) {
    auto found = run.counters.find(name);
    return found == run.counters.end() ? 0.0 : found->second.value;
  }

  std::string Met(bool met) {
    if (!judge_) return "-";
    ++goals_;
    if (met) ++met_;
    return met ? "yes" : "NO";
  }

  void Add(Row row) { rows_.push_back(std::move(row)); }
  bool Complete() const { return complete_; }

  void Print(std::ostream& out) const {
    const Row header{"figure", "value", "baseline (same run)", "ratio", "goal", "met"};
    std::vector<std::size_t> width(6, 0);
    auto widen = [&](const Row& row) {
      const std::string* cells[] = {&row.figure, &row.value, &row.baseline, &row.ratio, &row.goal, &row.met};
      for (std::size_t i = 0; i < 6; ++i) width[i] = std::max(width[i], cells[i]->size());
    };
    widen(header);
    for (const Row& row : rows_) widen(row);
    auto line = [&](const Row& row) {
      const std::string* cells[] = {&row.figure, &row.value, &row.baseline, &row.ratio, &row.goal, &row.met};
      std::string text = "|";
      for (std::size_t i = 0; i < 6; ++i) {
        text += " " + *cells[i] + std::string(width[i] - cells[i]->size(), ' ') + " |";
      }
      out << text << "\n";
    };
    line(header);
    Row rule;
    std::string* cells[] = {&rule.figure, &rule.value, &rule.baseline, &rule.ratio, &rule.goal, &rule.met};
    for (std::size_t i = 0; i < 6; ++i) *cells[i] = std::string(width[i], '-');
    line(rule);
    for (const Row& row : rows_) line(row);
    if (judge_) {
      out << met_ << " of " << goals_ << " goals met\n";
    } else {
      out << "smoke run: short and small, goals not judged\n";
    }
  }

 private:
  const std::map<std::string, Run>& runs_;
  bool judge_;
  bool filtered_;
  std::set<std::string> missing_;
  bool complete_ = true;
  int goals_ = 0, met_ = 0;
  std::vector<Row> rows_;
};

void Unchanged(Table& table) {
  const Run* bare = table.Find("BM_UnchangedBare", "bare: lock, set insert, host TargetURL, hash look-up");
  const Run* named = table.Find("BM_GetIOControlNamesUnchanged", "GetIOControlNames answering 1");
  const Run* searched = table.Find("BM_GetIOControlNamesUnchangedSearched", "GetIOControlNames answering 1");
  if (bare == nullptr) return;
  const double base = Table::Nanoseconds(*bare);
  if (named != nullptr) {
    const double ratio = Table::Nanoseconds(*named) / base;
    table.Add({"GetIOControlNames answering 1, per call (host module set)", Time(Table::Nanoseconds(*named)),
               Time(base) + " bare lock+insert+TargetURL+find", Times(ratio), "<= 3x", table.Met(ratio <= 3)});
  }
  if (searched != nullptr) {
    const double ratio = Table::Nanoseconds(*searched) / base;
    table.Add({"  same, host module searched (no SetZTRTModule)", Time(Table::Nanoseconds(*searched)), Time(base),
               Times(ratio), "(reported)", "-"});
  }
}

// Each call beside the bare work of an answer on the same thread.
void Latency(Table& table) {
  const Run* run = table.Find("BM_LatencyWhileRefreshIsHeld", "GetIOControlNames latency");
  if (run == nullptr) return;
  const double max = Table::Counter(*run, "max_us");
  const double bareMax = Table::Counter(*run, "bare_max_us");
  const double failed = Table::Counter(*run, "failed");
  const double lists = Table::Counter(*run, "lists"), due = Table::Counter(*run, "lists_due");
  const std::string what = "GetIOControlNames latency, refresh held " +
                           Format("%.0f ms", Table::Counter(*run, "delay_ms")) + ", 4 threads, a call each " +
                           Format("%.0f us", Table::Counter(*run, "pause_us")) + ", " +
                           Format("%.0f", Table::Counter(*run, "calls")) + " calls: max";
  table.Add({what, Time(max * 1e3), Time(bareMax * 1e3) + " bare work's max, same threads",
             bareMax > 0 ? Times(max / bareMax) : "", "< 1 ms, <= 3x",
             table.Met(max < 1000 && max <= 3 * bareMax && failed == 0)});
  table.Add({"  p50 / p99 / p99.9",
             Format("%.1f", Table::Counter(*run, "p50_us")) + " / " + Format("%.1f", Table::Counter(*run, "p99_us")) +
                 " / " + Format("%.1f us", Table::Counter(*run, "p999_us")),
             Format("%.1f", Table::Counter(*run, "bare_p50_us")) + " / " +
                 Format("%.1f", Table::Counter(*run, "bare_p99_us")) + " / " +
                 Format("%.1f us", Table::Counter(*run, "bare_p999_us")),
             "", "(reported)", "-"});
  table.Add({"  slowest answer 0 / 1 / 2 (2 may submit a refresh)",
             Format("%.1f", Table::Counter(*run, "max_written_us")) + " / " +
                 Format("%.1f", Table::Counter(*run, "max_unchanged_us")) + " / " +
                 Format("%.1f us", Table::Counter(*run, "max_pending_us")),
             "", "", "(reported)", "-"});
  table.Add({"  lists delivered / refreshes / failed calls, in " + Format("%.1f s", Table::Counter(*run, "seconds")),
             Format("%.0f", lists) + " / " + Format("%.0f", Table::Counter(*run, "refreshes")) + " / " +
                 Format("%.0f", failed),
             "", "", Format("%.0f lists, no failed call", due), failed == 0 && lists >= due ? "-" : "NO"});
}

void Binder(Table& table, const char* host, const std::string& bound_key, const std::string& direct_key) {
  const Run* bound = table.Find(bound_key, std::string("bound host call, ") + host);
  const Run* direct = table.Find(direct_key, std::string("direct host call, ") + host);
  if (bound == nullptr || direct == nullptr) return;
  const double ratio = Table::Nanoseconds(*bound) / Table::Nanoseconds(*direct);
  table.Add({std::string("host call through the binder, ") + host, Time(Table::Nanoseconds(*bound)),
             Time(Table::Nanoseconds(*direct)) + " direct via pointer", Times(ratio), "<= 3x", table.Met(ratio <= 3)});
}

void Refresh(Table& table) {
  // The library's cost per call, from the bare walk over records failing the status rule.
  double perCall = 0;
  const Run* bare = table.Find("BM_RefreshStatusFailsBare", "bare walk, records failing the status rule");
  if (bare != nullptr) {
    perCall = Table::Nanoseconds(*bare) /
              (Table::Counter(*bare, "records") * Table::Counter(*bare, "calls_per_record"));
  }
  if (const Run* mixed = table.Find("BM_RefreshMixed", "refresh, mixed records")) {
    const double records = Table::Counter(*mixed, "records");
    const double perRecord = Table::Nanoseconds(*mixed) / records;
    const double calls = Table::Counter(*mixed, "calls_per_record");
    Row row{"refresh of " + Format("%.0f", records) + " records (mixed), per record", Time(perRecord), "", "",
            "<= 2 us", table.Met(perRecord <= 2000)};
    if (perCall > 0) {
      row.baseline = Time(calls * perCall) + " library: " + Format("%.1f", calls) + " calls x " + Time(perCall);
      row.ratio = Times(perRecord / (calls * perCall));
    }
    table.Add(row);
    table.Add({"  library calls per record: property reads / all",
               Format("%.2f", Table::Counter(*mixed, "reads_per_record")) + " / " + Format("%.2f", calls), "", "",
               "(reported)", "-"});
  }
  if (const Run* failing = table.Find("BM_RefreshStatusFails", "refresh, records failing the status rule")) {
    const double records = Table::Counter(*failing, "records");
    const double reads = Table::Counter(*failing, "reads_per_record");
    table.Add({"refresh, record failing the status rule: property reads / all calls",
               Format("%.2f", reads) + " / " + Format("%.2f", Table::Counter(*failing, "calls_per_record")), "", "",
               "reads <= 2", table.Met(reads <= 2.0 + 1e-9)});
    const double perRecord = Table::Nanoseconds(*failing) / records;
    Row row{"  per record (" + Format("%.0f", records) + " records)", Time(perRecord), "", "", "(reported)", "-"};
    if (bare != nullptr) {
      const double barePerRecord = Table::Nanoseconds(*bare) / Table::Counter(*bare, "records");
      row.baseline = Time(barePerRecord) + " same calls made bare";
      row.ratio = Times(perRecord / barePerRecord);
    }
    table.Add(row);
  }
}

// Each size against the same host calls made directly; then the tenfold steps,
// beside the steps of those bare calls.
void NameList(Table& table) {
  const char* const sizes[] = {"1000", "10000", "100000"};
  double ns[3] = {0, 0, 0}, bare[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    const std::string figure = std::string("WriteNameList, ") + sizes[i] + " names";
    const Run* run = table.Find(std::string("BM_WriteNameList/") + sizes[i], figure);
    const Run* direct = table.Find(std::string("BM_WriteNameListBare/") + sizes[i], figure + ", host calls direct");
    if (run == nullptr) continue;
    ns[i] = Table::Nanoseconds(*run);
    Row row{figure, Time(ns[i]), "", "", "(reported)", "-"};
    if (direct != nullptr) {
      bare[i] = Table::Nanoseconds(*direct);
      row.baseline = Time(bare[i]) + " same host calls direct";
      row.ratio = Times(ns[i] / bare[i]);
    }
    if (i == 1) {
      row.goal = "< 10 ms";
      row.met = table.Met(ns[i] < 1e7);
    }
    table.Add(row);
  }
  for (int i = 1; i < 3; ++i) {
    if (ns[i - 1] == 0 || ns[i] == 0) continue;
    const double step = ns[i] / ns[i - 1];
    Row row{std::string("WriteNameList, ") + sizes[i - 1] + " -> " + sizes[i] + " names", Times(step), "", "",
            "<= 12x", table.Met(step <= 12)};
    if (bare[i - 1] > 0 && bare[i] > 0) row.baseline = Times(bare[i] / bare[i - 1]) + " for the direct calls";
    table.Add(row);
  }
}

// The pool's own threads, as CountWork counts them, once idle past its
// retirement; the process's threads beside them.
void IdleCaches(Table& table) {
  const Run* run = table.Find("BM_IdleCaches", "idle caches");
  if (run == nullptr) return;
  const std::string caches = Format("%.0f", Table::Counter(*run, "caches"));
  const double poolIdle = Table::Counter(*run, "pool_idle");
  const double before = Table::Counter(*run, "threads_before");
  const double idle = Table::Counter(*run, "threads_idle");
  table.Add({"idle caches (" + caches + "): pool threads alive once idle " +
                 Format("%.1f s", Table::Counter(*run, "retirement_ms") / 1e3) + " (CountWork().threadsAlive)",
             Format("%.0f", poolIdle),
             Format("%.0f", Table::Counter(*run, "pool_busy")) + " right after the refreshes", "", "0",
             table.Met(poolIdle == 0)});
  table.Add({"  process threads added by the idle caches", Format("%+.0f", idle - before),
             Format("%.0f threads before", before), "", "<= 0", table.Met(idle <= before)});
  table.Add({"  pool threads started for " + caches + " refreshes",
             Format("%.0f", Table::Counter(*run, "pool_started")), "", "", "(reported)", "-"});
  table.Add({"  heap per cache: new / after its refresh",
             Format("%.0f B", Table::Counter(*run, "bytes_new")) + " / " +
                 Format("%.0f B", Table::Counter(*run, "bytes_refreshed")),
             "", "", "(reported)", "-"});
}

// The call that starts a refresh against an unchanged answer and one pool
// submission on the same thread, medians of the samples in a round and of
// the rounds; the thread start it used to cost beside it.
void RefreshStart(Table& table) {
  const Run* run = table.Find("BM_RefreshStart", "GetIOControlNames starting a refresh");
  if (run != nullptr) {
    const double forced = Table::Counter(*run, "forced_us"), base = Table::Counter(*run, "base_us");
    const double first = Table::Counter(*run, "first_us"), thread = Table::Counter(*run, "thread_us");
    const std::string samples = Format("%.0f", Table::Counter(*run, "samples"));
    table.Add({"GetIOControlNames forcing a refresh of an idle cache (answer 2), the plug-in's code linked in, "
                   "median of " + samples + " calls, median round",
               Time(forced * 1e3), Time(base * 1e3) + " answer 1 + SubmitWork(no-op), same thread",
               Times(forced / base), "<= 2x", table.Met(forced <= 2 * base)});
    table.Add({"  first call for a new target (answer 2)", Time(first * 1e3), Time(base * 1e3),
               Times(first / base), "(reported)", "-"});
    table.Add({"  for scale: pthread_create, detached, of a thread that does nothing", Time(thread * 1e3),
               Time(base * 1e3), Times(thread / base), "(reported)", "-"});
    table.Add({"  slowest forcing call / baseline of the round; samples made again",
               Time(Table::Counter(*run, "forced_max_us") * 1e3) + " / " +
                   Time(Table::Counter(*run, "base_max_us") * 1e3) + "; " +
                   Format("%.0f", Table::Counter(*run, "retried")),
               "", "", "(reported)", "-"});
  }
  const Run* idle = table.Find("BM_RefreshStartPoolIdle", "GetIOControlNames starting a refresh, pool idle");
  if (idle != nullptr) {
    const double call = Table::Counter(*idle, "call_us"), thread = Table::Counter(*idle, "thread_us");
    table.Add({"  same, the plug-in's pool idle " + Format("%.1f s", Table::Counter(*idle, "idle_ms") / 1e3) +
                   " (its threads retired), median of " + Format("%.0f", Table::Counter(*idle, "samples")) +
                   "; process threads added by the call",
               Time(call * 1e3) + "; " + Format("%+.0f", Table::Counter(*idle, "threads_added")),
               Time(thread * 1e3) + " pthread_create right after", Times(call / thread), "(reported)", "-"});
  }
}

// The cache while the library fails: its answer while it waits for a
// retry beside a healthy cache's, in batches taken in turn; the library
// attempts of a failing minute; the call that submits the retry beside an
// unchanged answer plus one pool submission, as for the forcing call.
void Healing(Table& table) {
  if (const Run* run = table.Find("BM_AnswerWaitingForRetry", "GetIOControlNames waiting for a retry")) {
    const double waiting = Table::Counter(*run, "waiting_ns"), healthy = Table::Counter(*run, "healthy_ns");
    const std::string batches = Format("%.0f", Table::Counter(*run, "batches"));
    table.Add({"GetIOControlNames answering 1, cache waiting for its retry (back-off not passed), per call, "
                   "median of " + batches + " batches, median round",
               Time(waiting), Time(healthy) + " healthy cache's answer 1, batches in turn",
               Times(waiting / healthy), "<= 1.1x", table.Met(waiting <= 1.1 * healthy)});
    table.Add({"  the batches ended after the failing refresh was forced (shortest back-off 800 ms)",
               Format("%.0f ms", Table::Counter(*run, "since_failure_ms")), "", "", "(reported)", "-"});
  }
  // What the host saw meanwhile, and when the list came back once the library worked again.
  auto seen = [&](const Run& run) {
    return Format("%.0f", Table::Counter(run, "pending")) + " / " +
           Format("%.0f", Table::Counter(run, "written")) + " / " +
           Format("%.0f", Table::Counter(run, "unchanged")) + " / " +
           Format("%.0f", Table::Counter(run, "failed")) + "; " +
           Format("%.1f s", Table::Counter(run, "healed_ms") / 1e3);
  };
  const char seenFigure[] = "  calls pending / written / unchanged / failed; list back after it works";
  if (const Run* run = table.Find("BM_FailingMinuteFrameworks", "library attempts, frameworks refused")) {
    const double made = Table::Counter(*run, "frameworks");
    table.Add({"library attempts, frameworks refused for " +
                   Format("%.0f s", Table::Counter(*run, "failing_ms") / 1e3) + ", host asking every " +
                   Format("%.0f ms", Table::Counter(*run, "period_ms")) +
                   " (tests' clock): kelsysInstantiateFramework2 calls",
               Format("%.0f", made), "", "", "<= 8", table.Met(made <= 8)});
    table.Add(
        {seenFigure, seen(*run), "", "", "no failed call", Table::Counter(*run, "failed") == 0 ? "-" : "NO"});
  }
  if (const Run* run = table.Find("BM_FailingMinuteQuery", "library attempts, FindHardware failing")) {
    const double made = Table::Counter(*run, "frameworks");
    table.Add({"  same, FindHardware failing from a change on: framework calls; queries; pool submissions",
               Format("%.0f", made) + "; " + Format("%.0f", Table::Counter(*run, "queries")) + "; " +
                   Format("%.0f", Table::Counter(*run, "submissions")),
               "", "", "<= 8", table.Met(made <= 8)});
    table.Add(
        {seenFigure, seen(*run), "", "", "no failed call", Table::Counter(*run, "failed") == 0 ? "-" : "NO"});
  }
  if (const Run* run = table.Find("BM_RetryStart", "GetIOControlNames submitting a retry")) {
    const double retry = Table::Counter(*run, "retry_us"), base = Table::Counter(*run, "base_us");
    const std::string samples = Format("%.0f", Table::Counter(*run, "samples"));
    const double reached = Table::Counter(*run, "reached"), all = Table::Counter(*run, "samples");
    table.Add({"GetIOControlNames submitting a retry (answer 1, back-off just passed), code linked in, "
                   "tests' clock, median of " + samples + ", median round",
               Time(retry * 1e3), Time(base * 1e3) + " answer 1 + SubmitWork(no-op), same thread",
               Times(retry / base), "<= 2x", table.Met(retry <= 2 * base)});
    table.Add({"  calls whose retry had reached the library as they returned, of " + samples +
                   "; median call with / without",
               Format("%.0f", reached) + "; " +
                   (reached > 0 ? Time(Table::Counter(*run, "retry_reached_us") * 1e3) : "-") + " / " +
                   (reached < all ? Time(Table::Counter(*run, "retry_alone_us") * 1e3) : "-"),
               "", "", "(reported)", "-"});
    table.Add({"  slowest retrying call / baseline of the round; samples made again",
               Time(Table::Counter(*run, "retry_max_us") * 1e3) + " / " +
                   Time(Table::Counter(*run, "base_max_us") * 1e3) + "; " +
                   Format("%.0f", Table::Counter(*run, "retried")),
               "", "", "(reported)", "-"});
  }
  if (const Run* run = table.Find("BM_RetryStartKeptBack", "GetIOControlNames submitting a retry, kept back")) {
    const double retry = Table::Counter(*run, "retry_us"), base = Table::Counter(*run, "base_us");
    table.Add({"  same, both submissions kept back until both calls were timed (the pool left out)",
               Time(retry * 1e3), Time(base * 1e3) + " the baseline, its submission kept back",
               Times(retry / base), "(reported)", "-"});
  }
}

// Each size's last release, per cache; then the steps between sizes.
void LastRelease(Table& table) {
  const char* const sizes[] = {"10", "100", "400"};
  double us[3] = {0, 0, 0}, caches[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    const Run* run = table.Find(std::string("BM_LastRelease/") + sizes[i],
                                std::string("last ReleasingAppRef, ") + sizes[i] + " caches");
    if (run == nullptr) continue;
    us[i] = Table::Counter(*run, "release_us");
    caches[i] = Table::Counter(*run, "caches");
    const double perCache = us[i] / caches[i];
    table.Add({"last ReleasingAppRef of " + Format("%.0f", caches[i]) + " caches, each registered (" +
                   Format("%.0f", Table::Counter(*run, "registrations")) + "), one reference a target, median of " +
                   Format("%.0f", Table::Counter(*run, "rounds")) + " rounds, median repetition: per cache",
               Time(perCache * 1e3), "", "", "<= 20 us", table.Met(perCache <= 20)});
    table.Add({"  the call; the library settled by the pool after",
               Time(us[i] * 1e3) + "; " + Time(Table::Counter(*run, "settled_ms") * 1e6), "", "", "(reported)",
               "-"});
  }
  for (int i = 1; i < 3; ++i) {
    if (us[i - 1] == 0 || us[i] == 0) continue;
    const double step = us[i] / us[i - 1], scale = caches[i] / caches[i - 1];
    table.Add({"last ReleasingAppRef, " + Format("%.0f", caches[i - 1]) + " -> " + Format("%.0f", caches[i]) +
                   " caches",
               Times(step), Times(scale) + " the caches", "", "<= " + Times(1.2 * scale) + " (linear)",
               table.Met(step <= 1.2 * scale)});
  }
}

}  // namespace

void Collector::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
    std::string key = run.run_name.function_name;
    if (!run.run_name.args.empty()) key += "/" + run.run_name.args;
    // The repetitions come first, their median after them.
    runs_[key] = run;
  }
  log_.ReportRuns(runs);
}

bool PrintFigures(const std::map<std::string, Run>& runs, bool judge, bool filtered, std::ostream& out) {
  Table table(runs, judge, filtered);
  Unchanged(table);
  RefreshStart(table);
  Healing(table);
  LastRelease(table);
  Latency(table);
  Binder(table, "trivial host function", "BM_BoundHostCallTrivial", "BM_DirectHostCallTrivial");
  Binder(table, "ztrt TargetURL", "BM_BoundHostCallZtrt", "BM_DirectHostCallZtrt");
  Refresh(table);
  NameList(table);
  IdleCaches(table);
  table.Print(out);
  return table.Complete();
}

}  // namespace kronel_bench
