#pragma once

#include "core/prompt.h"

// Asks the person at the screen with a modal message box (no parent).
class MessageBoxPrompt final : public Prompt
{
public:
    Button ask(const Question &question) override;
};
