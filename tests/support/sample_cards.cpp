#include "sample_cards.h"

#include "ocr_stand_in.h"

namespace qa::test {

const SampleCard& FourLineCard() {
  static const SampleCard card{
      {QStringLiteral("第3题"),
       {QStringLiteral("3.下列哪个城市是中国的首都"), QStringLiteral("上海"),
        QStringLiteral("北京"), QStringLiteral("广州")}},
      QStringLiteral("下列哪个城市是中国的首都"),
      {{QStringLiteral("上海"), {1, 0, 2, 0, 1}},
       {QStringLiteral("北京"), {5, 3, 4, 2, 6}},
       {QStringLiteral("广州"), {0, 1, 0, 0, 0}}}};
  return card;
}

const SampleCard& FiveLineCard() {
  static const SampleCard card{
      {QStringLiteral("第12题"),
       {QStringLiteral("12.下列哪种动物"), QStringLiteral(" 属于哺乳动物 "), QStringLiteral("鲸鱼"),
        QStringLiteral("鲨鱼"), QStringLiteral("金枪鱼")}},
      QStringLiteral("下列哪种动物属于哺乳动物"),
      {{QStringLiteral("鲸鱼"), {3, 3, 2, 1, 0}},
       {QStringLiteral("鲨鱼"), {1, 0, 0, 1, 0}},
       {QStringLiteral("金枪鱼"), {0, 0, 0, 0, 0}}}};
  return card;
}

const SampleCard& SixLineCard() {
  static const SampleCard card{{QStringLiteral("第5题"),
                                {QStringLiteral("5.以下哪一项"), QStringLiteral("不是中国古代"),
                                 QStringLiteral("四大发明之一"), QStringLiteral("造纸术"),
                                 QStringLiteral("指南针"), QStringLiteral("地动仪")}},
                               QStringLiteral("以下哪一项不是中国古代四大发明之一"),
                               {{QStringLiteral("造纸术"), {4, 2, 2, 1, 1}},
                                {QStringLiteral("指南针"), {3, 3, 1, 1, 0}},
                                {QStringLiteral("地动仪"), {1, 0, 0, 0, 0}}}};
  return card;
}

const SampleCard& SevenLineCard() {
  static const SampleCard card{{QStringLiteral("第7题"),
                                {QStringLiteral("7.这道题的题目"), QStringLiteral("特别长以至于"),
                                 QStringLiteral("占了整整"), QStringLiteral("四行文字"),
                                 QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")}},
                               QString(),
                               {}};
  return card;
}

const SampleCard& SecondFourLineCard() {
  static const SampleCard card{{QStringLiteral("第4题"),
                                {QStringLiteral("4.太阳系中最大的行星是"), QStringLiteral("木星"),
                                 QStringLiteral("土星"), QStringLiteral("火星")}},
                               QStringLiteral("太阳系中最大的行星是"),
                               {{QStringLiteral("木星"), {6, 4, 3, 2, 2}},
                                {QStringLiteral("土星"), {2, 2, 1, 0, 1}},
                                {QStringLiteral("火星"), {1, 1, 1, 1, 1}}}};
  return card;
}

std::vector<const SampleCard*> AllSampleCards() {
  return {&FourLineCard(), &FiveLineCard(), &SixLineCard(), &SevenLineCard(),
          &SecondFourLineCard()};
}

void AddSampleCards(OcrStandIn& ocr, SearchStandIn& search, std::chrono::milliseconds delay) {
  for (const SampleCard* sample : AllSampleCards()) {
    ocr.AddCard(QuestionAreaOf(RenderQuizCard(sample->card)), sample->card.lines);
    if (sample->question.isEmpty()) continue;
    std::map<QString, SearchStandIn::PageCounts> counts(sample->counts.begin(),
                                                        sample->counts.end());
    search.AddQuestion(sample->question, counts, delay);
  }
}

}  // namespace qa::test
