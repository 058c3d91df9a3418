#include "cli/Commands.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/Exporters.h"
#include "cli/Plugins.h"
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

Json writeOutputs(const Composition& composition, const fs::path& folder, const std::string& frameSuffix,
                  bool wantJson) {
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
    std::optional<Json> json;

    if (ext == "png") {
      if (ImageRef image = value.image(); image && image->width() > 0 && image->height() > 0) {
        try {
          image->writePNG(prepare(folder, fileName).string());
        } catch (const vellum::Exception& e) {
          throw std::runtime_error(e.what());
        }
        json = Json{{"$image", {{"width", image->width()}, {"height", image->height()}, {"file", fileName}}}};
      } else {
        // A patch that made no image leaves no file; that is its answer, not a failure.
        vellum::log("vellum: output \"" + fileName + "\" holds no image; nothing written");
        json = toJson(value);
      }
    } else if (ext == "obj" && isLineList(value)) {
      writeTextFile(prepare(folder, fileName), linesToOBJ(lineListFromValue(value)));
    } else if (ext == "obj" || ext == "ply" || ext == "gltf" || ext == "glb") {
      Mesh mesh = meshFromValue(value);
      fs::path file = prepare(folder, fileName);
      if (ext == "obj")
        writeTextFile(file, meshToOBJ(mesh));
      else if (ext == "ply")
        writeTextFile(file, meshToPLY(mesh));
      else
        writeGLTF(mesh, file, ext == "glb");
    } else if (ext == "svg") {
      writeTextFile(prepare(folder, fileName), svgDocument(toJson(value)));
    } else if (ext == "json") {
      fs::path file = prepare(folder, fileName);
      try {
        json = toJson(value, &images);
      } catch (const vellum::Exception& e) {
        throw std::runtime_error(e.what());
      }
      writeTextFile(file, dumpJson(*json, true) + "\n");
    }

    if (wantJson) {
      if (!json) {
        try {
          json = toJson(value, &images);
        } catch (const vellum::Exception& e) {
          throw std::runtime_error(e.what());
        }
      }
      result[output.name] = *json;
    }
  }
  return result;
}

void runComposition(const RunOptions& options, const NodeManager& manager, std::ostream& out) {
  auto composition = Composition::load(options.composition, manager, options.load);
  std::error_code ec;
  fs::create_directories(options.out, ec);
  if (!fs::is_directory(options.out)) throw std::runtime_error("cannot make the output folder " + options.out.string());

  Json document;
  if (!options.frames) {
    composition->evaluate(options.time);
    Json outputs = writeOutputs(*composition, options.out, "", options.json);
    document = {{"outputs", outputs}};
  } else {
    long frames = *options.frames;
    // At least four digits, more when the run needs them, so names sort in frame order.
    int digits = std::max<int>(4, int(std::to_string(std::max(0L, frames - 1)).size()));
    bool progress = isatty(fileno(stderr));
    document = {{"frames", Json::array()}};
    for (long i = 0; i < frames; ++i) {
      double time = options.time + double(i) / options.fps;
      if (progress) std::fprintf(stderr, "\r\x1b[Kvellum: frame %ld/%ld (time %g)", i + 1, frames, time);
      composition->evaluate(time);
      std::string number = std::to_string(i);
      std::string suffix = "-" + std::string(size_t(std::max(0, digits - int(number.size()))), '0') + number;
      Json outputs = writeOutputs(*composition, options.out, suffix, options.json);
      if (options.json) document["frames"].push_back({{"time", time}, {"outputs", outputs}});
    }
    if (progress) std::fprintf(stderr, "\n");
  }
  composition->stop();
  if (options.json) out << dumpJson(document, true) << "\n" << std::flush;
}

// --- catalogue -----------------------------------------------------------------------------

Json catalogueJson(const NodeManager& manager) {
  Json classes = Json::array();
  for (const PatchClass* c : manager.classes()) {
    Json entry = {{"class", c->name}, {"displayName", c->displayName}, {"isSafe", c->isSafe},
                  {"allowsSubpatches", c->allowsSubpatches}};
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
          if (key != "key" && key != "direction" && key != "portClass")
            attributes += (attributes.empty() ? "" : ", ") + key + " " + dumpJson(value);
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

// --- command line --------------------------------------------------------------------------

int runVellum(int argc, char** argv) {
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
                           ->check(CLI::PositiveNumber);
  runCommand->add_option("--fps", run.fps, "frames per second with --frames (default 30)")->check(CLI::PositiveNumber);
  runCommand->add_option("--out", out, "folder for the output files (default: the current folder)");
  runCommand->add_option("--set", sets, "override an input: PATCH.PORT=JSON")->allow_extra_args(false);
  runCommand->add_flag("--json", run.json, "print the outputs as one JSON object");
  runCommand->add_flag("--safe", run.load.safe, "refuse patch classes that are not safe");
  runCommand->add_option("--plugin-path", pluginPaths, "another folder (or file) of plug-ins")->allow_extra_args(false);

  bool catalogueAsJson = false;
  std::vector<std::string> cataloguePluginPaths;
  CLI::App* patchesCommand = app.add_subcommand("patches", "list the registered patch classes");
  patchesCommand->add_flag("--json", catalogueAsJson, "print the catalogue as JSON");
  patchesCommand->add_option("--plugin-path", cataloguePluginPaths, "another folder (or file) of plug-ins")
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
    run.load.sets = sets;
    NodeManager manager;
    std::vector<fs::path> extra;
    for (const auto& p : (*runCommand ? pluginPaths : cataloguePluginPaths)) extra.emplace_back(p);
    loadPlugins(manager, defaultPluginFolders(), extra);
    if (*patchesCommand) {
      Json catalogue = catalogueJson(manager);
      std::cout << (catalogueAsJson ? dumpJson(catalogue, true) + "\n" : catalogueText(catalogue)) << std::flush;
      return 0;
    }
    runComposition(run, manager, std::cout);
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
