#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "app/control_client.h"
#include "pairing/qr_code.h"
#include "pairing/qr_payload.h"
#include "settings/app_settings.h"
#include "settings/device_identity.h"
#include "settings/keychain_store.h"
#include "settings/user_defaults.h"

namespace qm::cli {

namespace {

struct PairOptions {
  bool showQR = false;
  std::string pngFile;
  int timeoutSeconds = 300;
};

/// Draws `qrString` in the terminal and, when asked, saves it as a PNG.
bool presentQR(CliContext& context, const std::string& qrString, const std::string& pngFile) {
  const std::string drawing = renderQRForTerminal(qrString);
  if (drawing.empty()) {
    context.err << "Cannot make a QR code of the pairing offer.\n";
    return false;
  }
  context.out << drawing << "QR string: " << qrString << "\n";
  if (!pngFile.empty()) {
    if (auto saved = writeQRPng(qrString, pngFile); !saved) {
      context.err << saved.error().message << "\n";
      return false;
    }
    context.out << "Saved the QR code to " << pngFile << "\n";
  }
  return true;
}

/// Asks the running companion to advertise, shows its QR code and waits until
/// the phone has paired, pairing failed or the time is up.
int pairWithPhone(CliContext& context, const PairOptions& options) {
  bool shown = true;
  auto answer = sendControlRequest(
      context.paths.controlSocket(),
      {{"command", "pairing.start"}, {"timeoutSeconds", options.timeoutSeconds}},
      [&](const nlohmann::json& progress) {
        if (!progress.contains("qrPayload")) return;
        shown = presentQR(context, progress["qrPayload"].get<std::string>(), options.pngFile);
        context.out << "Scan the code with the Quillmere app";
        if (progress.contains("port"))
          context.out << " (listening on port " << progress["port"] << ")";
        context.out << "; waiting for the phone..." << std::endl;
      });
  if (!answer) {
    context.err << answer.error().message << "\n";
    return answer.error().code == ErrorCode::unavailable ? 3 : 1;
  }
  context.out << "Pairing complete with " << answer->value("peerDisplayName", "") << "\n";
  return shown ? 0 : 1;
}

int showQR(CliContext& context, const PairOptions& options) {
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  FileKeychainBackend backend(context.paths.keychainFile());
  KeychainStore keychain(backend);
  DeviceIdentity identity(keychain);
  const QRSession session = makeQRSession(settings, identity);
  return presentQR(context, session.qrString, options.pngFile) ? 0 : 1;
}

/// One line per pairing fact, from the running companion.
int pairingStatus(CliContext& context) {
  auto answer = sendControlRequest(context.paths.controlSocket(), {{"command", "pairing.status"}});
  if (!answer) {
    context.err << answer.error().message << "\n";
    return 3;
  }
  const auto& s = *answer;
  context.out << "State:  " << s.value("state", "") << "\n";
  if (s.contains("peerDisplayName"))
    context.out << "Phone:  " << s["peerDisplayName"].get<std::string>() << "\n";
  if (s.contains("lastConnectedAt"))
    context.out << "Last connected: " << s["lastConnectedAt"].get<std::string>() << "\n";
  if (s.contains("errorMessage"))
    context.out << "Error:  " << s["errorMessage"].get<std::string>() << "\n";
  if (s.contains("listeningPort"))
    context.out << "Listening on port " << s["listeningPort"] << "\n";
  context.out << "Bond:   " << (s.value("bonded", false) ? "stored" : "none") << "\n";
  return 0;
}

int simplePairingCommand(CliContext& context, const std::string& command, const std::string& done) {
  auto answer = sendControlRequest(context.paths.controlSocket(), {{"command", command}});
  if (!answer) {
    context.err << answer.error().message << "\n";
    return answer.error().code == ErrorCode::unavailable ? 3 : 1;
  }
  context.out << done << " (state: " << answer->value("state", "") << ")\n";
  return 0;
}

}  // namespace

void addPairCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto options = std::make_shared<PairOptions>();
  auto* pair = app.add_subcommand(
      "pair", "Pair with a phone: show a QR code and wait until the phone has scanned it");
  pair->add_flag("--show-qr", options->showQR,
                 "Only show a fresh pairing QR code and its text (no companion needed)");
  pair->add_option("--png", options->pngFile, "Also save the QR code as a PNG image");
  pair->add_option("--timeout", options->timeoutSeconds, "Seconds to wait for the phone")
      ->check(CLI::Range(1, 86400));
  pair->callback([&, options] {
    exitCode = options->showQR ? showQR(context, *options) : pairWithPhone(context, *options);
  });

  auto* pairing = app.add_subcommand("pairing", "The pairing with the phone");
  pairing->require_subcommand(1);
  pairing->add_subcommand("status", "Show the pairing state and the paired phone")->callback([&] {
    exitCode = pairingStatus(context);
  });
  pairing->add_subcommand("reconnect", "Wait for the paired phone to connect again")->callback([&] {
    exitCode = simplePairingCommand(context, "pairing.reconnect", "Waiting for the paired phone");
  });
  pairing->add_subcommand("forget", "Forget the paired phone and its keys")->callback([&] {
    exitCode = simplePairingCommand(context, "pairing.forget", "Pairing forgotten");
  });
}

}  // namespace qm::cli
