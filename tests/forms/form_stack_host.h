#pragma once
// The application's form stack without the application, for screen tests:
// it keeps the stack and records every form shown and closed. It serves as
// the process's form host for its lifetime.

#include "forms/form.h"
#include "forms/form_host.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace telvara::forms::test {

class StackHost final : public FormHost {
  public:
    StackHost() { set_form_host(this); }
    ~StackHost() {
        if (form_host() == this)
            set_form_host(nullptr);
    }
    StackHost(const StackHost&) = delete;
    StackHost& operator=(const StackHost&) = delete;

    void show_form(Form& form, ShowMode, Animate) override {
        shown.push_back(&form);
        stack.push_back(&form);
    }
    bool close_form(Form& form, Animate) override {
        closed.push_back(&form);
        auto it = std::find(stack.begin(), stack.end(), &form);
        if (it == stack.end())
            return false;
        stack.erase(it);
        return true;
    }
    bool is_shown(const Form& form) const override {
        return std::find(stack.begin(), stack.end(), &form) != stack.end();
    }
    Form* top_form() const override { return stack.empty() ? nullptr : stack.back(); }
    void set_dirty() override {}
    void minimize_window() override { ++minimized; }
    void set_overlay(OverlaySlot slot, Form* form, const Form* owner) override {
        overlays[static_cast<std::size_t>(slot)] = form;
        owners[static_cast<std::size_t>(slot)] = owner;
    }
    Form* overlay(OverlaySlot slot) const override {
        return overlays[static_cast<std::size_t>(slot)];
    }

    std::size_t count(const Form& form) const {
        return static_cast<std::size_t>(std::count(stack.begin(), stack.end(), &form));
    }

    std::vector<Form*> shown;
    std::vector<Form*> closed;
    std::vector<Form*> stack;
    int minimized = 0;
    Form* overlays[2] = {};
    const Form* owners[2] = {};
};

} // namespace telvara::forms::test
