#pragma once
// Entry box for one IPv4 address: four number fields separated by dots. The stored field values,
// ranges and the text form follow TIPAddressFields; this widget is the visible part, four small
// edits that report a field change when the user leaves a field.
#include <QFrame>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "widgets/IPAddressFields.h"

class QLineEdit;

namespace orbiqa {

class TIPAddressControl : public QFrame {
    Q_OBJECT
public:
    static constexpr int DefaultWidth = 121;
    static constexpr int DefaultHeight = 25;

    explicit TIPAddressControl(QWidget* parent = nullptr);
    ~TIPAddressControl() override;

    int Field(int index) const { return fields_.Field(index); }
    /// Throws EIPAddressRangeError for a value outside the field's range without OnRangeError.
    void SetField(int index, int value) { fields_.SetField(index, value); }
    int Field0() const { return Field(0); }
    int Field1() const { return Field(1); }
    int Field2() const { return Field(2); }
    int Field3() const { return Field(3); }
    void SetField0(int value) { SetField(0, value); }
    void SetField1(int value) { SetField(1, value); }
    void SetField2(int value) { SetField(2, value); }
    void SetField3(int value) { SetField(3, value); }

    // The ranges keep the names the control has always published ("Filed" for fields 1 and 3).
    TIPAddrRange& RangeField0() { return fields_.Range(0); }
    TIPAddrRange& RangeFiled1() { return fields_.Range(1); }
    TIPAddrRange& RangeField2() { return fields_.Range(2); }
    TIPAddrRange& RangeFiled3() { return fields_.Range(3); }
    void SetRangeField0(const TIPAddrRange& range) { fields_.SetRange(0, range); }
    void SetRangeFiled1(const TIPAddrRange& range) { fields_.SetRange(1, range); }
    void SetRangeField2(const TIPAddrRange& range) { fields_.SetRange(2, range); }
    void SetRangeFiled3(const TIPAddrRange& range) { fields_.SetRange(3, range); }

    /// Dotted decimal text; empty while the control is blank or has not been shown yet.
    std::string IPAddress() { return fields_.IPAddress(); }
    /// Never throws: a bad address blanks the control (see TIPAddressFields::SetIPAddress).
    void SetIPAddress(const std::string& text) { fields_.SetIPAddress(text); }
    bool Modified() const { return fields_.Modified(); }
    bool IsBlank() const { return fields_.IsBlank(); }

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize) { autoSize_ = autoSize; }

    /// The edit of field 0..3, for key handling and tests.
    QLineEdit* FieldEdit(int index) const { return edits_.at(static_cast<std::size_t>(index)); }

    std::function<void()> OnChange;
    std::function<void()> OnEnter;
    std::function<void()> OnExit;
    /// Assign through this reference; see TIPAddressFields::OnRangeError.
    TRangeErrorEvent& OnRangeError() { return fields_.OnRangeError; }

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Display;
    void SizeToFont();
    int IndexOf(QObject* edit) const;
    void FocusField(int index, bool atEnd);
    void FieldLeft(int index);
    void AppFocusChanged(QWidget* old, QWidget* now);

    std::array<QLineEdit*, IPAddressFieldCount> edits_{};
    std::array<QString, IPAddressFieldCount> textAtEntry_;
    std::unique_ptr<Display> display_;
    TIPAddressFields fields_;
    bool hasWindow_ = false;
    bool autoSize_ = false;
};

}  // namespace orbiqa
