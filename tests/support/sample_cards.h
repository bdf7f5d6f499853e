// The quiz cards the stand-ins, the end-to-end tests and the demo share: what
// each card shows, what the OCR stand-in answers for it, and how often each
// option occurs on the stand-in's search pages for its question.
#pragma once

#include <QString>
#include <map>
#include <vector>

#include "quiz_card.h"
#include "search_stand_in.h"

namespace qa::test {

struct SampleCard {
  QuizCard card;
  // The question as the program should show it (cleaned), empty when the
  // card should give no question.
  QString question;
  // Search counts per option (in the order of the card's options).
  std::vector<std::pair<QString, SearchStandIn::PageCounts>> counts;
};

// A four-line card: question "3.下列哪个城市是中国的首都", options 上海, 北京, 广州.
const SampleCard& FourLineCard();
// A five-line card whose second line has spaces at both ends.
const SampleCard& FiveLineCard();
// A six-line card with a negative question ("不是").
const SampleCard& SixLineCard();
// Seven lines: four question lines and three options.
const SampleCard& SevenLineCard();
// Another four-line card, for a second search after the first.
const SampleCard& SecondFourLineCard();

std::vector<const SampleCard*> AllSampleCards();

class OcrStandIn;
// Teaches the stand-ins every sample card: the OCR stand-in its pixels and
// lines, the search stand-in its counts (each page answered after `delay`).
void AddSampleCards(OcrStandIn& ocr, SearchStandIn& search,
                    std::chrono::milliseconds delay = std::chrono::milliseconds(0));

}  // namespace qa::test
