#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "common/base64.h"

namespace qm::test {

/// `text` (an encoded envelope) with one bit of one payload byte flipped.
inline std::string withPayloadByteChanged(const std::string& text) {
  nlohmann::json json = nlohmann::json::parse(text);
  Bytes payload = base64Decode(json["payload"].get<std::string>()).value();
  payload.at(payload.size() / 2) ^= 0x01;
  json["payload"] = base64Encode(payload);
  return json.dump();
}

}  // namespace qm::test
