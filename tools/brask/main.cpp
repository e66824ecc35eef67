// brask: our host program for the if_brask plug-in. It loads the plug-in as a picture viewer
// does and turns G00 and PDT pictures into PNG or BMP files; it also makes such pictures
// (encode) and shows the whole round trip on pictures drawn in code (demo).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/brask/batch_convert.h"
#include "tools/brask/demo_command.h"
#include "tools/brask/encode_command.h"
#include "tools/brask/info_command.h"
#include "tools/brask/interrupt.h"
#include "tools/brask/picture_modes.h"
#include "tools/brask/plugin_library.h"

#ifndef BRASK_VERSION
#define BRASK_VERSION "unknown"
#endif

namespace {

const char kMainExamples[] = R"(
Examples:
  brask demo                              make sample pictures in every mode and decode them
  brask info picture.pdt                  width, height and colour depth
  brask convert pictures/ -o png/         every G00 and PDT picture under pictures/, as PNG
  brask encode photo.png photo.pdt --mode pdt10

Run 'brask COMMAND --help' for a command's options.)";

const char kInfoExamples[] = R"(
Examples:
  brask info title.g00 bg01.pdt
  brask info --json data/*.pdt          one JSON object per line:
      {"file":"data/bg01.pdt","supported":true,"width":640,"height":480,"depth":24})";

const char kConvertExamples[] = R"(
Folders are walked recursively and only the files the plug-in reads are converted; the
outputs mirror the input tree under OUT (without -o, each output is written beside its
input). 24-bit pictures become RGB PNGs, 8-bit ones palette PNGs with the picture's colour
table; --format bmp writes the DIB exactly as the plug-in hands it over. Existing outputs
are kept unless --force is given. Exit status: 0 when every file was converted, 1 when
any failed or was not overwritten, 130 after Ctrl-C.

Examples:
  brask convert bg01.pdt                  writes bg01.png beside it
  brask convert game/data -o out/png      out/png/... mirrors game/data/...
  brask convert game/data -o out/bmp --format bmp -j 4 --force)";

const char kEncodeExamples[] = R"(
Modes: g00-0 (24-bit), g00-1 (8-bit indexed), g00-2 (parts with alpha), pdt10 (24-bit),
pdt10-mask (24-bit with an alpha mask), pdt11 (8-bit indexed). Indexed modes need at most
256 colours (a palette PNG keeps its own palette); alpha modes take the PNG's alpha, which
the plug-in flattens onto black when decoding. A G00 file is recognised by its .g00 name.

Examples:
  brask encode photo.png photo.pdt --mode pdt10
  brask encode icon.png icon.g00 --mode g00-2
  brask encode art.png art.pdt --mode pdt11 --force)";

const char kDemoExamples[] = R"(
Draws pictures in code, encodes each in every mode into DIR/samples, decodes them back
through the plug-in, checks every decoded picture against what was encoded (alpha modes:
flattened onto black) and writes the results to DIR/png for a look. DIR defaults to
brask-demo in the temporary folder.

Examples:
  brask demo
  brask demo /tmp/look)";

std::string g_plugin_path;

bool LoadPlugin(brask::PluginLibrary* plugin) {
  const std::string path = g_plugin_path.empty() ? brask::PluginLibrary::DefaultPath() : g_plugin_path;
  std::string why;
  if (!plugin->Load(path, &why)) {
    std::fprintf(stderr, "brask: %s\n", why.c_str());
    if (g_plugin_path.empty()) std::fprintf(stderr, "brask: give the plug-in's path with --plugin PATH\n");
    return false;
  }
  return true;
}

void AddPluginOption(CLI::App* command) {
  command->add_option("--plugin", g_plugin_path,
                      "the plug-in library to load (default: the one beside brask)");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"brask: converts G00 and PDT pictures through the if_brask plug-in"};
  app.footer(kMainExamples);
  app.set_version_flag("--version", "brask " BRASK_VERSION);
  app.require_subcommand(1);

  CLI::App* info = app.add_subcommand("info", "show whether the plug-in reads each file, and its size and depth");
  std::vector<std::string> info_files;
  bool json = false;
  info->add_option("FILE", info_files, "pictures to describe")->required();
  info->add_flag("--json", json, "one JSON object per line");
  AddPluginOption(info);
  info->footer(kInfoExamples);

  CLI::App* convert = app.add_subcommand("convert", "convert pictures and folders of pictures to PNG or BMP");
  brask::ConvertOptions convert_options;
  std::string format_name = brask::DefaultOutputFormat() == brask::OutputFormat::kPng ? "png" : "bmp";
  unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  convert->add_option("INPUT", convert_options.inputs, "files or folders")->required();
  convert->add_option("-o,--output", convert_options.output_folder,
                      "folder for the outputs (default: beside each input)");
  convert->add_option("--format", format_name, "png or bmp")
      ->check(CLI::IsMember({"png", "bmp"}))
      ->capture_default_str();
  convert->add_option("-j,--jobs", workers, "files converted at once (default: the number of cores)")
      ->check(CLI::Range(1u, 256u))
      ->capture_default_str();
  convert->add_flag("--force", convert_options.force, "overwrite existing outputs");
  convert->add_option("--png-level", convert_options.png.level,
                      "zlib level 0 (store) to 9 (smallest) with adaptive row filters; default: "
                      "run-length deflate over Paeth rows, about as small as level 6 and several "
                      "times as fast")
      ->check(CLI::Range(0, 9));
  AddPluginOption(convert);
  convert->footer(kConvertExamples);

  CLI::App* encode = app.add_subcommand("encode", "write a PNG picture as a G00 or PDT file");
  std::string encode_input, encode_output, mode_name;
  bool encode_force = false;
  encode->add_option("IN", encode_input, "a PNG picture")->required();
  encode->add_option("OUT", encode_output, "the G00 or PDT file to write")->required();
  encode->add_option("--mode", mode_name, brask::ModeNames())->required()->check(
      [](const std::string& name) {
        return brask::FindMode(name) != nullptr ? std::string()
                                                : "unknown mode " + name + "; use one of " + brask::ModeNames();
      });
  encode->add_flag("--force", encode_force, "overwrite OUT if it exists");
  encode->footer(kEncodeExamples);

  CLI::App* demo = app.add_subcommand("demo", "make sample pictures in every mode and check that they decode exactly");
  std::string demo_folder;
  demo->add_option("DIR", demo_folder, "where the samples and decoded pictures go");
  AddPluginOption(demo);
  demo->footer(kDemoExamples);

  CLI11_PARSE(app, argc, argv);
  brask::InstallInterruptHandler();

  if (*encode) {
    return brask::RunEncode(encode_input, encode_output, *brask::FindMode(mode_name), encode_force);
  }
  brask::PluginLibrary plugin;
  if (!LoadPlugin(&plugin)) return 2;
  if (*info) return brask::RunInfo(plugin, info_files, json);
  if (*demo) return brask::RunDemo(plugin, demo_folder.empty() ? brask::DefaultDemoFolder() : demo_folder);
  convert_options.format = format_name == "png" ? brask::OutputFormat::kPng : brask::OutputFormat::kBmp;
  if (convert_options.format == brask::OutputFormat::kPng && !brask::PngAvailable()) {
    std::fprintf(stderr, "brask: this build writes BMP only; use --format bmp\n");
    return 2;
  }
  convert_options.workers = workers;
  return brask::RunConvert(plugin, convert_options);
}
