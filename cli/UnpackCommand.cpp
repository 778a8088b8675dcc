#include <cstdio>
#include <filesystem>
#include <string>

#include "CliCommon.h"
#include "datafiles/ConFile.h"
#include "datafiles/Rawdex.h"

void AddUnpackCommand(CLI::App& app, int& iExit)
{
    auto pFile = std::make_shared<std::string>();
    auto pInto = std::make_shared<std::string>();
    CLI::App* pCmd = app.add_subcommand("unpack", "Unpack a Rawdex packed file (next to itself, or into DIR)");
    pCmd->add_option("FILE", *pFile, "Rawdex file")->required();
    pCmd->add_option("--into", *pInto, "Folder to unpack into (created when missing)");
    pCmd->callback([pFile, pInto, &iExit] {
        CConFileHeader con;
        const EConReadStatus status = ReadConFileHeader(*pFile, con);
        if (status == CON_READ_CANNOT_OPEN) {
            std::fprintf(stderr, "lumora-cli unpack: %s: cannot be read: %s\n", pFile->c_str(), con.m_szProblem.c_str());
            iExit = CLI_EXIT_NOINPUT;
            return;
        }
        if (!con.m_Header.IsRawdex()) {
            std::fprintf(stderr, "lumora-cli unpack: %s: not a Rawdex packed file\n", pFile->c_str());
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        if (!pInto->empty()) {
            std::error_code ec;
            std::filesystem::create_directories(*pInto, ec);
            if (!std::filesystem::is_directory(*pInto)) {
                std::fprintf(stderr, "lumora-cli unpack: cannot create the folder %s\n", pInto->c_str());
                iExit = CLI_EXIT_CANTCREAT;
                return;
            }
        }
        const CRawdexResult result = UnpackRawdex(*pFile, *pInto);
        for (const std::string& szWritten : result.m_Written)
            std::printf("%s\n", szWritten.c_str());
        for (const std::string& szSkipped : result.m_Skipped)
            std::fprintf(stderr, "lumora-cli unpack: %s: entry \"%s\" skipped (only unpacked on a test station)\n",
                         pFile->c_str(), szSkipped.c_str());
        for (const std::string& szDropped : result.m_Dropped)
            std::fprintf(stderr, "lumora-cli unpack: %s: %s\n", pFile->c_str(), szDropped.c_str());
        for (const std::string& szProblem : result.m_Problems)
            std::fprintf(stderr, "lumora-cli unpack: %s: %s\n", pFile->c_str(), szProblem.c_str());
        if (result.m_bCannotOpen)
            iExit = CLI_EXIT_NOINPUT;
        else if (result.m_bWriteFailed)
            iExit = CLI_EXIT_CANTCREAT;
        else
            iExit = result.m_bOk ? CLI_EXIT_OK : CLI_EXIT_DATAERR;
    });
}
