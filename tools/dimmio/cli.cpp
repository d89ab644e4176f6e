#include "cli.h"

#include <algorithm>

#include "command.h"
#include "dimmio/spd.h"

namespace dimmio::cli {

namespace {

std::string Describe(const Target& target, const std::string& board) {
  if (target.Boards.empty()) return "this machine";
  for (const BoardLine& b : target.Boards) {
    if (b.Name == board) return "the simulated board " + b.Name + ": " + b.Description;
  }
  return board;
}

// CLI11's messages can span lines; the tool's errors are one line each.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

int RunCommandLine(const std::vector<std::string>& args, const Target& target, std::ostream& out,
                   std::ostream& err) {
  Options o;
  CLI::App app{"dimmio: memory modules' SPD, PCI and SMBIOS through the dimmio driver", "dimmio"};
  app.fallthrough();
  // The same grammar on every target: CLI11 would take "/slot" for "--slot" on Windows.
  app.allow_windows_style_options(false);
  app.require_subcommand(0, 1);
  // Left-over arguments are reported below, in the order they were given.
  app.allow_extras();
  const bool simulated = !target.Boards.empty();
  if (simulated) {
    o.Board = target.Boards.front().Name;
    std::vector<std::string> names;
    for (const BoardLine& b : target.Boards) names.push_back(b.Name);
    app.add_option("--board", o.Board, "simulated board to run the driver on (see `boards`)")
        ->check(CLI::IsMember(names))
        ->capture_default_str();
  }
  app.add_flag("--json", o.Json, "machine-readable output");
  app.add_flag("--version", o.Version,
               std::string("this program's version") +
                   (target.Service ? " and the installed driver's" : ""));
  app.footer(std::string("Every command takes --json") +
             (simulated ? " and --board NAME (before or after the command)." : ".") +
             " Without a command: report.\n"
             "Numbers may be given in decimal or as 0x-hex.");

  std::vector<std::pair<const Command*, CLI::App*>> offered;
  for (const Command& command : Commands()) {
    if (command.Offered != nullptr && !command.Offered(target)) continue;
    CLI::App* sub = app.add_subcommand(command.Name, command.Help);
    if (command.AddOptions != nullptr) command.AddOptions(*sub, o);
    offered.emplace_back(&command, sub);
  }

  std::vector<const char*> argv{"dimmio"};
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::CallForHelp&) {
    out << (app.get_subcommands().empty() ? app.help() : app.get_subcommands().front()->help());
    return kExitDone;
  } catch (const CLI::ParseError& e) {
    err << "dimmio: " << PrintableText(OneLine(e.what())) << '\n';
    return kExitUsage;
  }

  if (const std::vector<std::string> extras = app.remaining(true); !extras.empty()) {
    err << "dimmio: unexpected argument" << (extras.size() > 1 ? "s" : "") << ':';
    for (const std::string& extra : extras) err << ' ' << PrintableText(extra);
    err << '\n';
    return kExitUsage;
  }
  if (!target.Unusable.empty()) {
    err << "dimmio: " << PrintableText(target.Unusable) << '\n';
    return kExitFailed;
  }
  if (o.Version) return VersionCommand(target, o, out);

  // Without a command, the first: the report.
  const Command* command = offered.front().first;
  for (const auto& [row, sub] : offered) {
    if (sub->parsed()) command = row;
  }
  if (command->Check != nullptr) {
    if (const std::optional<int> stop = command->Check(o, err)) return *stop;
  }
  Context context{target, o, out, err, Describe(target, o.Board)};
  if (!command->TalksToDriver) return command->Run(*command, context);

  std::string error;
  std::unique_ptr<Transport> transport = target.Open(o.Board, &error);
  if (!transport) {
    err << "dimmio: " << PrintableText(error) << '\n';
    return kExitFailed;
  }
  Client client(*transport);
  context.Driver = &client;
  return command->Run(*command, context);
}

}  // namespace

int Run(const std::vector<std::string>& args, const Target& target, std::ostream& out,
        std::ostream& err) {
  try {
    return RunCommandLine(args, target, out, err);
  } catch (const std::exception& e) {
    err << "dimmio: internal error: " << OneLine(PrintableText(e.what())) << '\n';
  } catch (...) {
    err << "dimmio: internal error: an unknown exception\n";
  }
  return kExitFailed;
}

}  // namespace dimmio::cli
