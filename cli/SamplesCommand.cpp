#include <cstdio>
#include <filesystem>
#include <string>

#include "CliCommon.h"
#include "app/KindRegistry.h"

void AddSamplesCommand(CLI::App& app, int& iExit)
{
    auto pDir = std::make_shared<std::string>();
    CLI::App* pCmd = app.add_subcommand("samples", "Write a realistic sample file of every kind into DIR");
    pCmd->add_option("DIR", *pDir, "Output folder (created when missing)")->required();
    pCmd->callback([pDir, &iExit] {
        RegisterAllKinds();
        std::error_code ec;
        std::filesystem::create_directories(*pDir, ec);
        if (!std::filesystem::is_directory(*pDir)) {
            std::fprintf(stderr, "lumora-cli samples: cannot create the folder %s\n", pDir->c_str());
            iExit = CLI_EXIT_CANTCREAT;
            return;
        }
        int iFailed = 0;
        for (const auto& [szName, writer] : CKindRegistry::Instance().SampleWriters()) {
            const std::vector<std::string> written = writer(*pDir);
            if (written.empty()) {
                std::fprintf(stderr, "lumora-cli samples: the %s samples could not be written\n", szName.c_str());
                ++iFailed;
            }
            for (const std::string& szPath : written)
                std::printf("%s\n", szPath.c_str());
        }
        iExit = iFailed ? CLI_EXIT_CANTCREAT : CLI_EXIT_OK;
    });
}
