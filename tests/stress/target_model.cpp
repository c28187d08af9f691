#include "target_model.h"

#include <algorithm>

namespace stress {

TargetModel::TargetModel(std::string target, std::string prefix)
    : target_(std::move(target)), prefix_(std::move(prefix)) {
  devices_ = {prefix_ + "0a", prefix_ + "0b"};
  Record();
}

std::string TargetModel::DeviceJson(const std::string& name, int status) const {
  return R"({"status": )" + std::to_string(status) + R"(, "modelCode": "0x7066", "resourceName": ")" + name + R"("})";
}

std::string TargetModel::SystemJson() const {
  return R"({"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["mdns", "network"], "hostName": ")" +
         host_ + R"("})";
}

std::string TargetModel::RecordsJson() const {
  std::string json = "[" + DeviceJson(prefix_ + "-off", 0);
  for (const std::string& device : devices_) json += "," + DeviceJson(device, 1);
  if (!host_.empty()) json += "," + SystemJson();
  return json + "]";
}

std::string TargetModel::ReplaceJson() const { return R"({"replace": )" + RecordsJson() + "}"; }

Names TargetModel::CurrentNames() const {
  Names names = devices_;
  if (!host_.empty()) names.push_back("sync://" + host_ + "/system");
  std::sort(names.begin(), names.end());
  return names;
}

void TargetModel::Record() {
  Names names = CurrentNames();
  std::lock_guard<std::mutex> lock(mutex_);
  held_.insert(std::move(names));
}

std::string TargetModel::NextChange(std::mt19937& random) {
  const std::string generation = prefix_ + std::to_string(++generation_);
  const unsigned kind = std::uniform_int_distribution<unsigned>(0, 9)(random);
  std::string change;
  if (kind < 4) {
    devices_.clear();
    const unsigned count = std::uniform_int_distribution<unsigned>(0, 4)(random);
    for (unsigned i = 0; i < count; ++i) devices_.push_back(generation + static_cast<char>('a' + i));
    host_ = random() % 2 != 0 ? generation + "-host" : std::string();
    change = ReplaceJson();
  } else if (kind < 7 || devices_.empty()) {
    devices_.push_back(generation + "n");
    change = R"({"add": [)" + DeviceJson(devices_.back(), 1) + "]}";
  } else {
    const std::size_t victim = random() % devices_.size();
    change = R"({"remove": [")" + devices_[victim] + R"("]})";
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(victim));
  }
  Record();
  return change;
}

std::string TargetModel::FinalChange(const std::string& tag) {
  devices_ = {prefix_ + tag + "1", prefix_ + tag + "2"};
  host_ = prefix_ + tag + "-host";
  Record();
  return ReplaceJson();
}

bool TargetModel::WasHeld(const Names& names) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_.count(names) != 0;
}

std::size_t TargetModel::ListsHeld() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_.size();
}

}  // namespace stress
