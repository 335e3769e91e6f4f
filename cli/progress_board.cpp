#include "cli/progress_board.h"

#include <algorithm>

namespace pelion::cli {

namespace {

// What a row holds beside its label and bar: two blanks, brackets, " 100%", "  mm:ss left".
constexpr int cROW_TEXT_WIDTH = 2 + 2 + 5 + 12;
constexpr int cMIN_BAR_WIDTH = 10;
constexpr int cMAX_BAR_WIDTH = 40;

}  // namespace

class ProgressBoard::Row : public ProgressDisplay {
public:
    Row(ProgressBoard& board, std::size_t index) : board_(board), index_(index) {}

    void restart() override {
        state().bar.restart();
        state().verdict.reset();
    }
    void show(int percent) override {
        state().bar.set(percent);
        board_.changed();
    }
    void hide() override { board_.hide(); }
    void redraw() override { board_.redraw(); }
    // The row keeps the bar where it stopped until the run goes on or ends.
    void stop() override {}
    void finish(const std::string& verdict) override {
        state().verdict = verdict;
        board_.changed();
    }

private:
    RowState& state() { return board_.rows_[index_]; }

    ProgressBoard& board_;
    std::size_t index_;
};

ProgressBoard::ProgressBoard(std::FILE* terminal, const std::vector<std::string>& labels,
                             int columns)
    : out_(terminal), columns_(columns) {
    for (const std::string& label : labels) {
        rows_.push_back({label, {}, std::nullopt});
        labelWidth_ = std::max(labelWidth_, label.size());
    }
    const int room = columns_ - 1 - static_cast<int>(labelWidth_) - cROW_TEXT_WIDTH;
    barWidth_ = std::clamp(room, cMIN_BAR_WIDTH, cMAX_BAR_WIDTH);
}

std::unique_ptr<ProgressDisplay> ProgressBoard::row(std::size_t index) {
    return std::make_unique<Row>(*this, index);
}

void ProgressBoard::close() {
    hide();
    closed_ = true;
}

// The rows appear with the first progress of any run and stay until the board is closed.
void ProgressBoard::changed() {
    started_ = true;
    redraw();
}

void ProgressBoard::hide() {
    if (!visible_) {
        return;
    }
    std::fputc('\r', out_);
    if (rows_.size() > 1) {
        std::fprintf(out_, "\x1b[%zuA", rows_.size() - 1);
    }
    std::fputs("\x1b[J", out_);
    std::fflush(out_);
    visible_ = false;
}

// Over the rows already shown, or below the last report line; the cursor stays at the end of
// the last row.
void ProgressBoard::redraw() {
    if (!started_ || closed_) {
        return;
    }
    if (visible_ && rows_.size() > 1) {
        std::fprintf(out_, "\r\x1b[%zuA", rows_.size() - 1);
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        std::fprintf(out_, "\r%s\x1b[K%s", rowText(rows_[i]).c_str(),
                     i + 1 < rows_.size() ? "\n" : "");
    }
    std::fflush(out_);
    visible_ = true;
}

std::string ProgressBoard::rowText(const RowState& row) const {
    std::string text = row.label + std::string(labelWidth_ - row.label.size(), ' ') + "  ";
    text += row.verdict ? *row.verdict : row.bar.text(barWidth_);
    if (text.size() >= static_cast<std::size_t>(columns_)) {
        text.resize(static_cast<std::size_t>(std::max(columns_ - 1, 0)));
    }
    return text;
}

}  // namespace pelion::cli
