// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurement/Conversions.h"

#include <QTest>
#include <limits>

using namespace k12;

class TestConversions : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void textToInt16_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "180" << true << 180;
        QTest::newRow("blanks") << "  -42 " << true << -42;
        QTest::newRow("plus") << "+7" << true << 7;
        QTest::newRow("half to even down") << "2.5" << true << 2;
        QTest::newRow("half to even up") << "3.5" << true << 4;
        QTest::newRow("negative half") << "-2.5" << true << -2;
        QTest::newRow("above half") << "2.51" << true << 3;
        QTest::newRow("max") << "32767" << true << 32767;
        QTest::newRow("min") << "-32768" << true << -32768;
        QTest::newRow("rounds over max") << "32767.5" << false << 0;
        QTest::newRow("over max") << "32768" << false << 0;
        QTest::newRow("under min") << "-32769" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("letters") << "12a" << false << 0;
        QTest::newRow("two signs") << "+-1" << false << 0;
        QTest::newRow("inf") << "inf" << false << 0;
        QTest::newRow("nan") << "nan" << false << 0;
        QTest::newRow("full-width digits") << "１２" << false << 0;
    }
    void textToInt16() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        auto r = TextToInt16(text);
        QCOMPARE(r.has_value(), ok);
        if (ok) {
            QCOMPARE(int(*r), value);
        }
    }

    void textToDoubleAndSingle() {
        QCOMPARE(TextToDouble(QStringLiteral(" 12.25 ")), std::optional<double>(12.25));
        QCOMPARE(TextToDouble(QStringLiteral("1e400")), std::nullopt);
        QCOMPARE(TextToDouble(QStringLiteral("-")), std::nullopt);
        QCOMPARE(TextToSingle(QStringLiteral("-180")), std::optional<float>(-180.0f));
        QCOMPARE(TextToSingle(QStringLiteral("1e39")), std::nullopt);
    }

    void roundHalfEven_data() {
        QTest::addColumn<double>("in");
        QTest::addColumn<double>("out");
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("1.5") << 1.5 << 2.0;
        QTest::newRow("-1.5") << -1.5 << -2.0;
        QTest::newRow("-0.5") << -0.5 << 0.0;
        QTest::newRow("1.4999") << 1.4999 << 1.0;
        QTest::newRow("-2.6") << -2.6 << -3.0;
    }
    void roundHalfEven() {
        QFETCH(double, in);
        QFETCH(double, out);
        QCOMPARE(RoundHalfEven(in), out);
    }

    void formatFixed3_data() {
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.5") << 12.5 << "12.500";
        QTest::newRow("-0.25") << -0.25 << "-0.250";
        QTest::newRow("1234.5678") << 1234.5678 << "1234.568";
        QTest::newRow("-999") << -999.0 << "-999.000";
        QTest::newRow("no grouping") << 123456.0 << "123456.000";
        QTest::newRow("tiny negative") << -0.0001 << "0.000";
        QTest::newRow("zero") << 0.0 << "0.000";
    }
    void formatFixed3() {
        QFETCH(double, v);
        QFETCH(QString, text);
        QCOMPARE(FormatFixed3(v), text);
    }

    void shortestText_data() {
        QTest::addColumn<float>("single");
        QTest::addColumn<QString>("text");
        QTest::newRow("180") << 180.0f << "180";
        QTest::newRow("-180") << -180.0f << "-180";
        QTest::newRow("12.5") << 12.5f << "12.5";
        QTest::newRow("0.1") << 0.1f << "0.1";
        QTest::newRow("-0") << -0.0f << "0";
        QTest::newRow("large, no exponent") << 1234567.0f << "1234567";
    }
    void shortestText() {
        QFETCH(float, single);
        QFETCH(QString, text);
        QCOMPARE(ShortestSingleText(single), text);
        QCOMPARE(TextToSingle(ShortestSingleText(single)), std::optional<float>(single));
    }

    void shortestDouble() {
        QCOMPARE(ShortestDoubleText(1.5), QStringLiteral("1.5"));
        QCOMPARE(ShortestDoubleText(1.0), QStringLiteral("1"));
        QCOMPARE(ShortestDoubleText(0.1), QStringLiteral("0.1"));
        QCOMPARE(ShortestDoubleText(-32.768), QStringLiteral("-32.768"));
    }

    void csvNumbers_data() {
        QTest::addColumn<bool>("isSingle");
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("single integer") << true << -999.0 << "-999";
        QTest::newRow("single 7 digits") << true << double(12.345678f) << "12.34568";
        QTest::newRow("single 0.1") << true << double(0.1f) << "0.1";
        QTest::newRow("single negative fraction") << true << double(-0.25f) << "-0.25";
        QTest::newRow("single zero") << true << 0.0 << "0";
        QTest::newRow("single small") << true << double(0.00012f) << "0.00012";
        QTest::newRow("single huge") << true << 1e20 << "1E+20";
        QTest::newRow("single tiny") << true << double(1.5e-7f) << "1.5E-07";
        QTest::newRow("single rounds to integer") << true << 1234567.875 << "1234568";
        QTest::newRow("double 1.5") << false << 1.5 << "1.5";
        QTest::newRow("double 1") << false << 1.0 << "1";
        QTest::newRow("double 15 digits") << false << 0.1 + 0.2 << "0.3";
        QTest::newRow("double 32.767") << false << 32.767 << "32.767";
        QTest::newRow("double keeps 15") << false << 1.23456789012345 << "1.23456789012345";
        QTest::newRow("double -0") << false << -0.0 << "0";
        QTest::newRow("double rounds up a digit") << false << 0.9999999999999999 << "1";
        QTest::newRow("double large") << false << 123456789012.5 << "123456789012.5";
    }
    void csvNumbers() {
        QFETCH(bool, isSingle);
        QFETCH(double, v);
        QFETCH(QString, text);
        QCOMPARE(isSingle ? CsvSingle(static_cast<float>(v)) : CsvDouble(v), text);
    }

    void startTime() {
        QCOMPARE(FormatStartTime(QDateTime(QDate(2024, 3, 5), QTime(9, 7, 2))),
                 QStringLiteral("2024/3/5 9:7:2"));
        QCOMPARE(FormatStartTime(QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58))),
                 QStringLiteral("2023/12/31 23:59:58"));
        const QDateTime t(QDate(2024, 3, 5), QTime(9, 7, 2));
        QCOMPARE(ParseStartTime(FormatStartTime(t)), t);
        QCOMPARE(ParseStartTime(QStringLiteral(" 2024/03/05 09:07:02 ")), t);
        QVERIFY(!ParseStartTime(QStringLiteral("2024/2/30 9:7:2")));
        QVERIFY(!ParseStartTime(QStringLiteral("                   ")));
    }

    void cp932_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("ascii") << "RV0100" << QByteArray("RV0100");
        QTest::newRow("kanji") << "測定" << QByteArray("\x91\xaa\x92\xe8");
        QTest::newRow("full-width digit") << "メモ１" << QByteArray("\x83\x81\x83\x82\x82\x50");
        QTest::newRow("half-width kana") << "ｱ" << QByteArray("\xb1");
        QTest::newRow("NEC special") << "①" << QByteArray("\x87\x40");
    }
    void cp932() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        auto encoded = EncodeCp932(text);
        QVERIFY(encoded.has_value());
        QCOMPARE(*encoded, bytes);
        QCOMPARE(DecodeCp932(bytes), std::optional<QString>(text));
    }

    void cp932Refusals() {
        QCOMPARE(EncodeCp932(QStringLiteral("emoji 😀")), std::nullopt);
        QCOMPARE(EncodeCp932(QStringLiteral("한국어")), std::nullopt);
        QCOMPARE(EncodeCp932(QString(QChar(0xD800))), std::nullopt);
        QCOMPARE(DecodeCp932(QByteArray("\x81")), std::nullopt); // lead byte without trail
        QCOMPARE(DecodeCp932(QByteArray("a\x80")), std::nullopt);
        QCOMPARE(DecodeCp932Lossy(QByteArray("a\x80z\x81")), QStringLiteral("a\uFFFDz\uFFFD"));
    }
};

QTEST_GUILESS_MAIN(TestConversions)
#include "test_conversions.moc"
