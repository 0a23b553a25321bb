#include "programming/CommandHost.h"

#include "image/ImageCodec.h"

MessageAnswer CommandHost::ShowMessage(const MessageRequest& request) {
    messages_.push_back(request);
    return request.buttons == MessageButtons::OkCancel ? MessageAnswer::Cancel : MessageAnswer::Ok;
}

void CommandHost::StepProgress() {
    if (onBlock) {
        onBlock();
    }
}

void CommandHost::DecodeImage() {
    std::lock_guard lock(context_.dataMutex);
    ::DecodeImage(context_.image, context_.state.programmingMode.load(), context_.settings);
}
