#include "CradleRecorder.h"

#include "image/ImageFiles.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void PrintExchange(const CradleExchange& exchange) {
    std::printf("exchange %llu: %c 0x%04X", static_cast<unsigned long long>(exchange.number),
                exchange.command >= 0x20 && exchange.command < 0x7F ? exchange.command : '?',
                static_cast<unsigned>(exchange.address));
    if (exchange.fault != CradleFault::None)
        std::printf(" fault=%s", std::string(CradleFaultName(exchange.fault)).c_str());
    if (exchange.requestStatus != usb_status::kSuccess)
        std::printf(" write-status=0x%02X", static_cast<unsigned>(exchange.requestStatus));
    if (!exchange.reply)
        std::printf(" no-reply");
    else if (exchange.reply->status != usb_status::kSuccess)
        std::printf(" read-status=0x%02X", static_cast<unsigned>(exchange.reply->status));
    else
        std::printf(" reply=%u", static_cast<unsigned>(exchange.reply->length));
    if (exchange.memoryChanged)
        std::printf(" stored");
    std::printf("\n");
    std::fflush(stdout);
}

void ReportFileError(const FileError& error) {
    if (error)
        std::cerr << "pager-cradle-sim: " << *error << "\n";
}

} // namespace

CradleRecorder::CradleRecorder(std::shared_ptr<CradleSimulator> cradle, bool verbose, Files files)
    : cradle_(std::move(cradle)), verbose_(verbose), files_(std::move(files)) {}

void CradleRecorder::SayHeld(std::string_view line) {
    std::printf("%.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stdout);
}

void CradleRecorder::Say(std::string_view line) {
    const std::lock_guard lock(mutex_);
    SayHeld(line);
}

void CradleRecorder::OnExchange(const CradleExchange& exchange) {
    const std::lock_guard lock(mutex_);
    ReportPagerEvents();
    if (verbose_)
        PrintExchange(exchange);
    if (exchange.memoryChanged && !files_.memoryFile.empty())
        ReportFileError(SaveImageFile(files_.memoryFile, cradle_->Memory()));
}

void CradleRecorder::CollectPagerEvents() {
    const std::lock_guard lock(mutex_);
    ReportPagerEvents();
}

void CradleRecorder::ReportPagerEvents() {
    for (const PagerEvent& event : cradle_->TakePagerEvents()) {
        if (verbose_ && event.kind != PagerEventKind::Written) {
            std::printf("%s: pager %u\n",
                        event.kind == PagerEventKind::Seated ? "seated" : "removed",
                        static_cast<unsigned>(event.pager));
            std::fflush(stdout);
        }
        if (files_.streamMemories)
            ReportFileError(files_.streamMemories->Record(event));
    }
}
