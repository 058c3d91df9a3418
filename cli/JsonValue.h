// The JSON form of host values, both ways, and the JSON text the program reads and prints.
#pragma once

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/Value.h"

namespace vellum::cli {

// Ordered, so that keyed structures keep their member order through JSON.
using Json = nlohmann::ordered_json;

// Unusable arguments or composition: the program answers exit status 2 with the message.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where images met while printing a value are written: the first as STEM.png, then
// STEM-2.png, STEM-3.png, ... in `folder`, passing over names in `taken` (the run's other files,
// so that no output overwrites another). Without a sink images print without a file.
class ImageSink {
 public:
  ImageSink(std::filesystem::path folder, std::string stem, std::set<std::string>* taken = nullptr)
      : folder_(std::move(folder)), stem_(std::move(stem)), taken_(taken) {}
  // Writes the image and answers its file name (relative to the folder).
  std::string write(const Image& image);
  const std::vector<std::string>& written() const { return written_; }

 private:
  std::filesystem::path folder_;
  std::string stem_;
  std::set<std::string>* taken_;
  std::vector<std::string> written_;
};

// A value as JSON. Doubles stay JSON floats (non-finite ones become "nan", "inf", "-inf"),
// integers stay JSON integers; objects print as their representation.
Json toJson(const Value& value, ImageSink* images = nullptr);

// A JSON value as a host value. `baseFolder` resolves {"$image": "file.png"}.
// Throws UsageError when the JSON cannot be a value.
Value fromJson(const Json& json, const std::filesystem::path& baseFolder = {});

// JSON text with doubles printed shortest-round-trip (always with a '.' or an exponent, so that
// they read back as doubles). `pretty` indents, keeping short arrays and objects on one line.
std::string dumpJson(const Json& json, bool pretty = false);

// Parses JSON text keeping key order; a syntax error throws UsageError naming `source`, the
// line and the column.
Json parseJson(const std::string& text, const std::string& source);

// Shortest text that reads back as the same double ("0.1", "1e+300", "-0"); "1" for 1.0.
std::string shortestDouble(double d);
// The double nearest the shortest decimal form of a float (0.1f gives 0.1, not 0.10000000149...).
double floatAsDouble(float f);

}  // namespace vellum::cli
