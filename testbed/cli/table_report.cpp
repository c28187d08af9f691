#include "table_report.h"

#include <algorithm>
#include <cstdio>

#include "plugin_host.h"

namespace kronel_names {
namespace {

std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Pad(const std::string& text, std::size_t width) {
  std::size_t used = Width(text);
  return used >= width ? text : text + std::string(width - used, ' ');
}

std::string Stamp(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "[%5.2f s] ", seconds);
  return buffer;
}

std::string Answers(const std::vector<std::int32_t>& results) {
  std::string text;
  for (std::int32_t result : results) {
    text += (text.empty() ? "" : ", ") + std::to_string(result) + " " + ResultName(result);
  }
  return text.empty() ? "none" : text;
}

std::string Origin(const std::optional<NameOrigin>& origin) {
  return origin ? DescribeOrigin(*origin) : "(no rule gives this name)";
}

std::string NameList(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + Printable(name);
  return text.empty() ? "no names" : text;
}

}  // namespace

void TableReport::Lists(const std::vector<TargetListing>& listings) {
  out_ << "kronel-names " << info_.version << "\n";
  out_ << "plug-in:  " << info_.plugin << "\n";
  out_ << "library:  " << info_.library << (info_.installed ? " (installed)" : " (simulated)") << "\n";
  if (info_.simulation)
    out_ << "          it also exports the simulation's control API: a copy of the testbed's library\n";
  if (!info_.installed) {
    out_ << "hardware: " << info_.hardware << (info_.embedded ? " (the embedded sample)" : "") << "\n";
  }
  for (const TargetListing& listing : listings) {
    out_ << "\nTarget " << TargetTitle(listing.target) << ", application reference " << listing.appRef
         << "\n";
    out_ << "  answers: " << Answers(listing.results);
    if (listing.names) {
      out_ << "; the list arrived after " << static_cast<long long>(listing.milliseconds + 0.5) << " ms\n";
      Names(listing, "  ");
    } else {
      out_ << "\n  no list: " << listing.failure << "\n";
    }
    if (info_.explain) Explanation(listing, "  ");
  }
  out_.flush();
}

void TableReport::Names(const TargetListing& listing, const std::string& indent) {
  const std::vector<std::string>& names = *listing.names;
  if (names.empty()) {
    out_ << indent << "(no names)\n";
    return;
  }
  std::size_t width = 4;
  for (const std::string& name : names) width = std::max(width, Width(Printable(name)));
  out_ << indent << "   #  " << Pad("name", width) << "  produced by\n";
  for (std::size_t i = 0; i < names.size(); ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "%4zu", i + 1);
    out_ << indent << number << "  " << Pad(Printable(names[i]), width) << "  " << Origin(listing.origins[i])
         << "\n";
  }
}

void TableReport::Explanation(const TargetListing& listing, const std::string& indent) {
  const TargetExplanation& explanation = listing.explanation;
  if (explanation.records.empty()) {
    out_ << indent << "no records\n";
  } else {
    out_ << indent << "records, with the rule that kept or dropped each:\n";
    for (const RecordExplanation& record : explanation.records) {
      char number[32];
      std::snprintf(number, sizeof number, "%4zu", record.number);
      out_ << indent << number << "  " << Pad(VerdictName(record.verdict), 7) << "  "
           << Printable(record.text);
      if (!record.names.empty()) {
        std::vector<std::string> names;
        for (const auto& named : record.names) names.push_back(named.first);
        out_ << ": " << NameList(names);
      }
      if (!record.where.empty()) out_ << "  (" << record.where << ")";
      out_ << "\n";
    }
  }
  if (!explanation.RefreshSucceeds()) {
    out_ << indent << "the refresh stops: " << Printable(explanation.failure)
         << "; the plug-in keeps the list it had\n";
  }
  if (listing.explained == false) out_ << indent << "warning: the discovery rules do not give this list\n";
}

void TableReport::WatchBegins(const ChangeScript& script, const std::vector<std::string>& targets) {
  char end[32];
  std::snprintf(end, sizeof end, "%.2f", script.end);
  out_ << "\nReplaying " << script.source << ": " << script.steps.size() << " step"
       << (script.steps.size() == 1 ? "" : "s") << " over " << end << " s, watching " << targets.size()
       << " target" << (targets.size() == 1 ? "" : "s") << " (Ctrl-C ends it)\n";
  out_.flush();
}

void TableReport::StepApplied(double seconds, std::size_t number, const Step& step) {
  out_ << Stamp(seconds) << "step " << number << ": " << Printable(step.Describe()) << "\n";
  out_.flush();
}

void TableReport::StepEnded(double seconds, std::size_t number, const Step& step) {
  out_ << Stamp(seconds) << "step " << number << " ends: " << Printable(step.DescribeEnd()) << "\n";
  out_.flush();
}

void TableReport::NewList(double seconds, const TargetListing& listing, const ListChange& change) {
  const std::vector<std::string>& names = *listing.names;
  out_ << Stamp(seconds) << "\"" << Printable(listing.target) << "\": new list, " << names.size() << " name"
       << (names.size() == 1 ? "" : "s");
  if (change.added.empty() && change.removed.empty()) {
    out_ << ", the same names\n";
  } else {
    out_ << " (+" << change.added.size() << " -" << change.removed.size() << ")\n";
  }
  const std::string indent(11, ' ');
  std::size_t width = 4;
  for (const std::string& name : change.added) width = std::max(width, Width(Printable(name)));
  for (const std::string& name : change.added) {
    auto at = std::find(names.begin(), names.end(), name) - names.begin();
    out_ << indent << "+ " << Pad(Printable(name), width) << "  "
         << Origin(listing.origins[static_cast<std::size_t>(at)]) << "\n";
  }
  for (const std::string& name : change.removed) out_ << indent << "- " << Printable(name) << "\n";
  if (info_.explain) Explanation(listing, indent);
  out_.flush();
}

void TableReport::Failure(double seconds, const TargetListing& listing) {
  out_ << Stamp(seconds) << "\"" << Printable(listing.target) << "\": no list: " << listing.failure << "\n";
  out_.flush();
}

void TableReport::LibraryFailures(double seconds, std::uint64_t failures, std::uint64_t total) {
  out_ << Stamp(seconds) << "the library failed " << failures << " call" << (failures == 1 ? "" : "s") << " ("
       << total << " so far)\n";
  out_.flush();
}

void TableReport::WatchEnds(double seconds, bool interrupted) {
  out_ << Stamp(seconds) << (interrupted ? "interrupted" : "the script has ended") << "\n";
  out_.flush();
}

}  // namespace kronel_names
