#include "cli/Commands.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>

#include <CLI/CLI.hpp>

#include "cli/Exporters.h"
#include "cli/Plugins.h"
#include "cli/Serve.h"
#include "cli/Suggest.h"
#include "host/Exception.h"
#include "host/Image.h"
#include "host/Log.h"
#include "host/Patch.h"

namespace vellum::cli {

namespace fs = std::filesystem;

std::string withFrameSuffix(const std::string& name, const std::string& suffix) {
  fs::path p(name);
  if (!p.has_extension()) return name + suffix;
  return (p.parent_path() / (p.stem().string() + suffix + p.extension().string())).string();
}

namespace {

fs::path prepare(const fs::path& folder, const std::string& fileName) {
  fs::path file = folder / fileName;
  std::error_code ec;
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  return file;
}

}  // namespace

namespace {

std::string patchNamed(const Composition::Output& output) {
  return "patch '" + output.node->id + "' (" + output.node->classAsWritten + ")";
}

uintmax_t sizeOf(const fs::path& file) {
  std::error_code ec;
  const uintmax_t n = fs::file_size(file, ec);
  return ec ? 0 : n;
}

std::string counted(size_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

template <class F>
auto rethrowPlain(F&& f) {
  try {
    return f();
  } catch (const vellum::Exception& e) {
    throw std::runtime_error(e.what());
  }
}

}  // namespace

Json writeOutputs(const Composition& composition, const fs::path& folder, const std::string& frameSuffix,
                  bool wantJson, bool writeFiles, FrameReport* written) {
  FrameReport ignored;
  FrameReport& report = written ? *written : ignored;
  Json result = Json::object();
  std::set<std::string> taken;
  for (const auto& output : composition.outputs())
    if (!output.extension.empty()) taken.insert(withFrameSuffix(output.name, frameSuffix));
  for (const auto& output : composition.outputs()) {
    const Value value = output.port->value();
    const std::string fileName = withFrameSuffix(output.name, frameSuffix);
    const std::string& ext = output.extension;
    std::string stem = ext.empty() ? fileName : (fs::path(fileName).parent_path() / fs::path(fileName).stem()).string();
    ImageSink images(folder, stem, &taken);
    ImageSink* sink = writeFiles ? &images : nullptr;
    std::optional<Json> json;
    const bool file = writeFiles && !ext.empty();
    std::string kind;
    auto empty = [&](const std::string& what) { report.empty.emplace_back(output.name, patchNamed(output) + " made " + what); };

    if (ext == "png") {
      if (ImageRef image = value.image(); image && image->width() > 0 && image->height() > 0) {
        if (file) rethrowPlain([&] { image->writePNG(prepare(folder, fileName).string()); });
        kind = "image " + std::to_string(image->width()) + " x " + std::to_string(image->height());
        json = Json{{"$image", {{"width", image->width()}, {"height", image->height()}}}};
        if (file) (*json)["$image"]["file"] = fileName;
      } else {
        // A patch that made no image leaves no file; that is its answer, not a failure.
        empty("no image, so no file is written");
        json = toJson(value);
      }
    } else if (ext == "obj" && isLineList(value)) {
      const LineList lines = lineListFromValue(value);
      if (file) writeTextFile(prepare(folder, fileName), linesToOBJ(lines));
      kind = "line list, " + counted(lines.segmentCount(), "segment", "segments");
      if (lines.segmentCount() == 0) empty("no line segments");
    } else if (ext == "obj" || ext == "ply" || ext == "gltf" || ext == "glb") {
      Mesh mesh = meshFromValue(value);
      kind = "mesh, " + counted(mesh.triangleCount(), "triangle", "triangles");
      if (mesh.triangleCount() == 0) empty("a mesh of 0 triangles");
      if (file) {
        fs::path path = prepare(folder, fileName);
        if (ext == "obj")
          writeTextFile(path, meshToOBJ(mesh));
        else if (ext == "ply")
          writeTextFile(path, meshToPLY(mesh));
        else
          writeGLTF(mesh, path, ext == "glb");
      }
    } else if (ext == "svg") {
      const Json drawing = toJson(value);
      if (drawing.is_null() || drawing.empty()) empty(value.kind() == Value::Kind::Nothing ? "no path" : "an empty drawing");
      if (file) writeTextFile(prepare(folder, fileName), svgDocument(drawing));
      kind = "SVG";
    } else if (ext == "json") {
      json = rethrowPlain([&] { return toJson(value, sink); });
      if (file) writeTextFile(prepare(folder, fileName), dumpJson(*json, true) + "\n");
      kind = "JSON";
    }
    if (file && !kind.empty() && (ext != "png" || json->contains("$image")))
      report.files.push_back({output.name, fileName, kind, sizeOf(folder / fileName)});

    if (wantJson) {
      if (!json) json = rethrowPlain([&] { return toJson(value, sink); });
      result[output.name] = *json;
    }
    for (const std::string& image : images.written()) report.files.push_back({output.name, image, "image", sizeOf(folder / image)});
  }
  return result;
}

namespace {

std::string withThousands(uintmax_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

// One line per output: its file (the first and last of a run of frames), kind and size.
void listWritten(std::ostream& report, const fs::path& folder, const std::vector<FrameReport>& frames) {
  struct Line {
    std::string first, last, kind;
    size_t files = 0;
    uintmax_t bytes = 0;
  };
  std::vector<std::string> order;
  std::map<std::string, Line> lines;
  for (const FrameReport& frame : frames)
    for (const WrittenFile& f : frame.files) {
      const std::string key = f.output + '\n' + (f.file.ends_with(".png") ? "png" : "");
      auto [at, added] = lines.try_emplace(key);
      if (added) {
        order.push_back(key);
        at->second.first = f.file;
      }
      at->second.last = f.file;
      at->second.kind = f.kind;
      ++at->second.files;
      at->second.bytes += f.bytes;
    }
  if (order.empty()) return;
  const std::string where = folder == "." ? "" : folder.string() + "/";
  std::vector<std::array<std::string, 3>> rows;
  for (const std::string& key : order) {
    const Line& l = lines[key];
    rows.push_back({where + l.first + (l.files > 1 ? " .. " + l.last : ""),
                    l.files > 1 ? std::to_string(l.files) + " files, " + l.kind + " (the last)" : l.kind,
                    withThousands(l.bytes) + " bytes"});
  }
  size_t w0 = 0, w1 = 0;
  for (const auto& r : rows) {
    w0 = std::max(w0, r[0].size());
    w1 = std::max(w1, r[1].size());
  }
  report << "vellum: wrote\n";
  for (const auto& r : rows)
    report << "  " << r[0] << std::string(w0 - r[0].size() + 2, ' ') << r[1] << std::string(w1 - r[1].size() + 2, ' ')
           << r[2] << "\n";
}

}  // namespace

void runComposition(const RunOptions& options, const NodeManager& manager, std::ostream& out, std::ostream& report) {
  auto composition = Composition::load(options.composition, manager, options.load);
  if (options.writeFiles) {
    std::error_code ec;
    fs::create_directories(options.out, ec);
    if (!fs::is_directory(options.out)) throw std::runtime_error("cannot make the output folder " + options.out.string());
  }

  Json document;
  std::vector<FrameReport> frames;
  std::set<std::string> saidEmpty;
  const bool progress = options.frames && isatty(fileno(stderr));
  auto reportEmpty = [&](const FrameReport& frame) {
    for (const auto& [name, why] : frame.empty)
      if (saidEmpty.insert(name).second)
        report << (progress ? "\r\x1b[K" : "") << "vellum: output \"" << name << "\" is empty: " << why << "\n";
  };
  if (!options.frames) {
    composition->evaluate(options.time);
    Json outputs = writeOutputs(*composition, options.out, "", options.json, options.writeFiles, &frames.emplace_back());
    reportEmpty(frames.back());
    document = {{"outputs", outputs}};
  } else {
    long frameCount = *options.frames;
    // At least four digits, more when the run needs them, so names sort in frame order.
    int digits = std::max<int>(4, int(std::to_string(std::max(0L, frameCount - 1)).size()));
    document = {{"frames", Json::array()}};
    for (long i = 0; i < frameCount; ++i) {
      double time = options.time + double(i) / options.fps;
      if (progress) std::fprintf(stderr, "\r\x1b[Kvellum: frame %ld/%ld (time %g)", i + 1, frameCount, time);
      composition->evaluate(time);
      std::string number = std::to_string(i);
      std::string suffix = "-" + std::string(size_t(std::max(0, digits - int(number.size()))), '0') + number;
      Json outputs = writeOutputs(*composition, options.out, suffix, options.json, options.writeFiles, &frames.emplace_back());
      reportEmpty(frames.back());
      if (options.json) document["frames"].push_back({{"time", time}, {"outputs", outputs}});
    }
    if (progress) std::fprintf(stderr, "\n");
  }
  composition->stop();
  if (options.writeFiles) listWritten(report, options.out, frames);
  if (options.json) out << dumpJson(document, true) << "\n" << std::flush;
}

// --- catalogue -----------------------------------------------------------------------------

namespace {

std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// "0 = stroke, 1 = fill, 2 = fill and stroke".
std::string choicesText(const Json& choices) {
  std::string s;
  for (size_t i = 0; i < choices.size(); ++i)
    s += (i ? ", " : "") + std::to_string(i) + " = " + choices[i].get<std::string>();
  return s;
}

}  // namespace

Json catalogueJson(const NodeManager& manager, const std::string& filter) {
  Json classes = Json::array();
  const std::string wanted = lowered(filter);
  for (const PatchClass* c : manager.classes()) {
    if (!wanted.empty() && lowered(c->name).find(wanted) == std::string::npos &&
        lowered(c->displayName).find(wanted) == std::string::npos)
      continue;
    Json entry = {{"class", c->name}, {"displayName", c->displayName}};
    if (!c->description.empty()) entry["description"] = c->description;
    entry["isSafe"] = c->isSafe;
    entry["allowsSubpatches"] = c->allowsSubpatches;
    entry["executionMode"] = c->executionMode ? Json(*c->executionMode) : Json("default");
    entry["timeMode"] = c->timeMode ? Json(*c->timeMode) : Json("default");
    entry["inspectorClass"] = c->inspectorClass.empty() ? Json(nullptr) : Json(c->inspectorClass);
    std::unique_ptr<Patch> patch = c->create ? c->create(c->name) : nullptr;
    if (patch) {
      Json ports = Json::array();
      for (bool inputs : {true, false})
        for (Port* p : inputs ? patch->inputPorts() : patch->outputPorts()) {
          Json port = {{"key", p->key()}, {"direction", inputs ? "input" : "output"}, {"portClass", p->portClassName()}};
          for (const auto& m : p->attributes())
            if (auto key = m.key()) port[*key] = toJson(m.value);
          for (const auto& [key, names] : c->indexChoices)
            if (key == p->key()) port["choices"] = names;
          ports.push_back(port);
        }
      entry["ports"] = ports;
    } else {
      entry["ports"] = nullptr;
    }
    classes.push_back(entry);
  }
  return {{"patches", classes}};
}

std::string catalogueText(const Json& catalogue) {
  auto yes = [](const Json& j) { return j.get<bool>() ? "YES" : "NO"; };
  auto mode = [](const Json& j) { return j.is_string() ? j.get<std::string>() : std::to_string(j.get<unsigned>()); };
  std::string s;
  for (const Json& c : catalogue["patches"]) {
    s += c["class"].get<std::string>() + "  \"" + c["displayName"].get<std::string>() + "\"\n";
    if (c.contains("description")) s += "  " + c["description"].get<std::string>() + ".\n";
    s += "  isSafe " + std::string(yes(c["isSafe"])) + ", allowsSubpatches " + yes(c["allowsSubpatches"]) +
         ", executionMode " + mode(c["executionMode"]) + ", timeMode " + mode(c["timeMode"]) + ", inspector " +
         (c["inspectorClass"].is_null() ? "none" : c["inspectorClass"].get<std::string>()) + "\n";
    if (c["ports"].is_null()) {
      s += "  (the class made no patch to list ports from)\n";
      continue;
    }
    for (const Json& p : c["ports"]) {
      std::string line = "  " + p["direction"].get<std::string>();
      line.resize(9, ' ');
      line += p["key"].get<std::string>() + " ";
      if (line.size() < 34) line.resize(34, ' ');
      line += p["portClass"].get<std::string>();
      if (p["direction"] == "input") {
        std::string attributes;
        for (const auto& [key, value] : p.items())
          if (key != "key" && key != "direction" && key != "portClass" && key != "choices")
            attributes += (attributes.empty() ? "" : ", ") + key + " " + dumpJson(value);
        if (p.contains("choices")) attributes += (attributes.empty() ? "" : ", ") + choicesText(p["choices"]);
        if (!attributes.empty()) {
          if (line.size() < 56) line.resize(56, ' ');
          else line += " ";
          line += attributes;
        }
      }
      s += line + "\n";
    }
  }
  return s;
}

std::string catalogueMarkdown(const Json& catalogue) {
  std::string s =
      "# The patches\n\n"
      "Generated by `vellum patches --markdown` (the build does it: `make docs` refreshes this page, and `make test`\n"
      "fails while it is stale). A composition names a patch by its class or its display name; its ports are the\n"
      "keys under `inputs` and in `connections`. Coordinates are y-up: y grows upwards, as in the\n"
      "paths and meshes; images and SVG files are flipped on the way in and out.\n";
  for (const Json& c : catalogue["patches"]) {
    s += "\n## " + c["displayName"].get<std::string>() + "\n\n`" + c["class"].get<std::string>() + "`";
    if (!c["isSafe"].get<bool>()) s += " (not safe: `--safe` refuses it)";
    s += "\n\n";
    if (c.contains("description")) s += c["description"].get<std::string>() + ".\n\n";
    if (c["ports"].is_null()) continue;
    s += "| port | kind | default | limits and choices |\n|---|---|---|---|\n";
    for (const Json& p : c["ports"]) {
      std::string limits;
      for (const char* key : {"min", "max"})
        if (p.contains(key)) limits += (limits.empty() ? "" : ", ") + std::string(key) + " " + dumpJson(p[key]);
      if (p.contains("choices")) limits += (limits.empty() ? "" : "; ") + choicesText(p["choices"]);
      std::string value = p.contains("default") && p["direction"] == "input" ? "`" + dumpJson(p["default"]) + "`" : "";
      for (size_t at = 0; (at = value.find('|', at)) != std::string::npos; at += 2) value.replace(at, 1, "\\|");
      s += "| `" + p["key"].get<std::string>() + "` | " + (p["direction"] == "input" ? "" : "output, ") +
           p["portClass"].get<std::string>() + " | " + value + " | " + limits + " |\n";
    }
  }
  return s;
}

// --- command line --------------------------------------------------------------------------

namespace {

const std::vector<std::string> kCommands = {"run", "patches", "serve"};

// A whole number of at least `least`, said so in words rather than as a range up to the
// type's maximum.
CLI::Validator atLeast(long least) {
  return CLI::Validator(
      [least](std::string& text) -> std::string {
        long value = 0;
        const char* end = text.data() + text.size();
        auto [ptr, error] = std::from_chars(text.data(), end, value);
        if (error != std::errc() || ptr != end || value < least)
          return "must be a whole number, at least " + std::to_string(least) + ", not " + text;
        return {};
      },
      "at least " + std::to_string(least));
}

CLI::Validator positive() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0;
        const char* end = text.data() + text.size();
        auto [ptr, error] = std::from_chars(text.data(), end, value);
        if (error != std::errc() || ptr != end || !(value > 0) || !std::isfinite(value))
          return "must be a number greater than 0, not " + text;
        return {};
      },
      "greater than 0");
}

}  // namespace

int runVellum(int argc, char** argv) {
  // A first word that is no command: name it, and the command it was probably meant to be.
  if (argc < 2) {
    std::cerr << "vellum: give a command: `vellum run COMPOSITION.json` or `vellum patches [FILTER]` "
                 "(`vellum --help` tells more)\n";
    return 2;
  }
  if (const std::string first = argv[1]; !first.starts_with("-") &&
                                         std::find(kCommands.begin(), kCommands.end(), first) == kCommands.end()) {
    std::string hint = didYouMean(first, kCommands);
    for (int i = 1; i < argc && hint.empty(); ++i)
      if (fs::path(argv[i]).extension() == ".json") hint = "; did you mean `vellum run " + std::string(argv[i]) + "`?";
    std::cerr << "vellum: unknown command '" << first << "'" << hint << " (commands: run, patches, serve)\n";
    return 2;
  }

  CLI::App app{"vellum: runs Vellum2D compositions and writes what they publish"};
  app.set_version_flag("--version", std::string("vellum ") + VELLUM_VERSION);
  app.require_subcommand(1);

  RunOptions run;
  std::vector<std::string> sets, pluginPaths;
  std::string out = ".";
  long frames = 0;
  CLI::App* runCommand = app.add_subcommand("run", "evaluate a composition and write its published outputs");
  runCommand->add_option("composition", run.composition, "the composition file (JSON)")->required();
  runCommand->add_option("--time", run.time, "evaluation time (the first frame's, with --frames)");
  auto* framesOption = runCommand->add_option("--frames", frames, "evaluate N frames at times T, T+1/F, ...")
                           ->check(atLeast(1));
  runCommand->add_option("--fps", run.fps, "frames per second with --frames (default 30)")->check(positive());
  auto* outOption =
      runCommand->add_option("--out", out, "folder for the output files (default: the current folder; with --json, none)");
  runCommand->add_option("--set", sets, "override an input: PATCH.PORT=JSON")->allow_extra_args(false);
  runCommand->add_flag("--json", run.json, "print the outputs as one JSON object (and write files only with --out)");
  runCommand->add_flag("--safe", run.load.safe, "refuse patch classes that are not safe");
  runCommand->add_option("--plugin-path", pluginPaths, "another folder (or file) of plug-ins")->allow_extra_args(false);

  bool catalogueAsJson = false, catalogueAsMarkdown = false;
  std::string filter;
  std::vector<std::string> cataloguePluginPaths;
  CLI::App* patchesCommand = app.add_subcommand("patches", "list the registered patch classes");
  patchesCommand->add_option("filter", filter, "only the classes whose class or display name holds FILTER");
  patchesCommand->add_flag("--json", catalogueAsJson, "print the catalogue as JSON");
  patchesCommand->add_flag("--markdown", catalogueAsMarkdown, "print the catalogue as a Markdown page");
  patchesCommand->add_option("--plugin-path", cataloguePluginPaths, "another folder (or file) of plug-ins")
      ->allow_extra_args(false);

  ServeOptions serveOptions;
  std::vector<std::string> servePluginPaths;
  CLI::App* serveCommand = app.add_subcommand("serve", "edit a composition live in the browser");
  serveCommand->add_option("composition", serveOptions.composition,
                           "the composition file (JSON); made when saved if it does not exist (default untitled.json)");
  serveCommand->add_option("--port", serveOptions.port, "the port to listen on (default 8470; 0 picks a free one)")
      ->check(CLI::Range(0, 65535));
  serveCommand->add_option("--host", serveOptions.host,
                           "the address to listen on (default 127.0.0.1: this machine only)");
  serveCommand->add_option("--plugin-path", servePluginPaths, "another folder (or file) of plug-ins")
      ->allow_extra_args(false);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }

  try {
    if (!std::isfinite(run.time)) throw UsageError("--time must be a finite number");
    if (framesOption->count()) run.frames = frames;
    run.out = out;
    run.writeFiles = !run.json || outOption->count() > 0;
    run.load.sets = sets;
    NodeManager manager;
    std::vector<fs::path> extra;
    for (const auto& p : (*runCommand ? pluginPaths : *serveCommand ? servePluginPaths : cataloguePluginPaths))
      extra.emplace_back(p);
    loadPlugins(manager, defaultPluginFolders(), extra);
    if (*serveCommand) {
      serve(serveOptions, manager, std::cout);
      return 0;
    }
    if (*patchesCommand) {
      Json catalogue = catalogueJson(manager, filter);
      if (catalogue["patches"].empty()) {
        std::vector<std::string> names;
        for (const PatchClass* c : manager.classes()) {
          names.push_back(c->name);
          names.push_back(c->displayName);
        }
        throw UsageError("no patch class or display name holds '" + filter + "'" + didYouMean(filter, names));
      }
      std::cout << (catalogueAsJson       ? dumpJson(catalogue, true) + "\n"
                    : catalogueAsMarkdown ? catalogueMarkdown(catalogue)
                                          : catalogueText(catalogue))
                << std::flush;
      return 0;
    }
    runComposition(run, manager, std::cout, std::cerr);
    return 0;
  } catch (const UsageError& e) {
    std::cerr << "vellum: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "vellum: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace vellum::cli
