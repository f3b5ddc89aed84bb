#include <CLI/CLI.hpp>

#include "app/cli/cli_context.h"
#include "app/cli/commands.h"
#include "pairing/qr_code.h"
#include "pairing/qr_payload.h"
#include "store/app_settings.h"
#include "store/device_identity.h"
#include "store/keychain_store.h"
#include "store/user_defaults.h"

namespace qm::cli {

namespace {

struct PairOptions {
  bool showQR = false;
  std::string pngFile;
};

int showQR(CliContext& context, const PairOptions& options) {
  UserDefaults defaults(context.paths.defaultsFile());
  AppSettings settings(defaults);
  FileKeychainBackend backend(context.paths.keychainFile());
  KeychainStore keychain(backend);
  DeviceIdentity identity(keychain);

  const QRSession session = makeQRSession(settings, identity);
  const std::string drawing = renderQRForTerminal(session.qrString);
  if (drawing.empty()) {
    context.err << "Cannot make a QR code of the pairing offer.\n";
    return 1;
  }
  context.out << drawing << "QR string: " << session.qrString << "\n";
  if (!options.pngFile.empty()) {
    if (auto saved = writeQRPng(session.qrString, options.pngFile); !saved) {
      context.err << saved.error().message << "\n";
      return 1;
    }
    context.out << "Saved the QR code to " << options.pngFile << "\n";
  }
  return 0;
}

}  // namespace

void addPairCommand(CLI::App& app, CliContext& context, int& exitCode) {
  auto options = std::make_shared<PairOptions>();
  auto* pair = app.add_subcommand("pair", "Pair with a phone by showing a QR code");
  pair->add_flag("--show-qr", options->showQR, "Show a pairing QR code and its text");
  pair->add_option("--png", options->pngFile, "Also save the QR code as a PNG image")
      ->needs(pair->get_option("--show-qr"));
  pair->callback([&, options] {
    if (!options->showQR) {
      context.err << "Pairing with a phone needs the running companion; this version can only "
                     "show a QR code: quillmere pair --show-qr\n";
      exitCode = 2;
      return;
    }
    exitCode = showQR(context, *options);
  });
}

}  // namespace qm::cli
